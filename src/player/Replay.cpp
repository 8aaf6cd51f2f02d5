// Replay engine: XMMusicPlayer::SetPosition and XMMusicPlayer::Render (declared in Xmplayer.h).
// Placeholder so the engine links: Render runs no ticks yet; the replay work replaces this file.
#include <cstring>

#include "player/Xmplayer.h"

const int32_t waveformTables[4][64] = {
    {0,    24,   49,   74,   97,   120,  141,  161,  180,  197,  212,  224,  235,
     244,  250,  253,  255,  253,  250,  244,  235,  224,  212,  197,  180,  161,
     141,  120,  97,   74,   49,   24,   0,    -24,  -49,  -74,  -97,  -120, -141,
     -161, -180, -197, -212, -224, -235, -244, -250, -253, -255, -253, -250, -244,
     -235, -224, -212, -197, -180, -161, -141, -120, -97,  -74,  -49,  -24},
    {248,  240,  232,  224,  216,  208,  200,  192,  184,  176,  168,  160,  152,
     144,  136,  128,  120,  112,  104,  96,   88,   80,   72,   64,   56,   48,
     40,   32,   24,   16,   8,    0,    -8,   -16,  -24,  -32,  -40,  -48,  -56,
     -64,  -72,  -80,  -88,  -96,  -104, -112, -120, -128, -136, -144, -152, -160,
     -168, -176, -184, -192, -200, -208, -216, -224, -232, -240, -248, -255},
    {255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,
     255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,
     255,  255,  255,  255,  255,  255,  -255, -255, -255, -255, -255, -255, -255,
     -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255,
     -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255, -255},
    {-13,  52,   -128, 79,   -212, 154,  157,  131,  105,  -44,  156,  4,    -24,
     -55,  -29,  -192, -124, -116, -166, -223, -102, 162,  141,  152,  115,  205,
     96,   168,  50,   79,   41,   229,  -208, 179,  -158, 134,  236,  28,   -53,
     -25,  -138, -255, 23,   144,  -178, 127,  -239, -59,  -49,  -225, -189, -126,
     31,   24,   -224, 15,   138,  -224, -83,  -1,   116,  171,  -91,  190},
};

void XMMusicPlayer::SetPosition(int newOrder, int newRow) {
  // A player without a song has no order table to index.
  if (songLength <= 0) {
    order = row = tick = samplesLeft = breakRow = 0;
    songEnded = 0;
    resetVoicesPending = 1;
    return;
  }
  if (newOrder >= songLength) newOrder = songLength - 1;
  if (newOrder < 0) newOrder = 0;
  patternRows = orderRows[newOrder];
  if (newRow >= patternRows) newRow = patternRows - 1;
  if (newRow < 0) newRow = 0;
  order = newOrder;
  row = newRow;
  tick = 0;
  samplesLeft = 0;
  breakRow = 0;
  UpdateTickLength();
  songEnded = 0;
  loopJumpPending = 0;
  nextOrder = order + 1;
  pattern = orderTable[order];
  rowCursor = orderData[order] + row * channelCount;
  breakPending = 0;
  loopStartRow = 0;
  loopCount = -1;
  patternDelay = -1;
  vibratoControl = tremoloControl = 4;
  vibratoTable = tremoloTable = waveformTables[0];
  for (ChannelState& c : channels) {
    std::memset(&c, 0, sizeof c);
    c.cutCounter = c.delayCounter = -1;
    c.instrumentIndex = 255;
    c.period = c.targetPeriod = 0x7fffffff;
    c.panningEnvelopeValue = 32;
    c.volumeEnvelopeValue = 64;
    c.fadeoutVolume = 65535;
    c.volume = 0x7fffffff;
    c.panning = 128;
  }
  resetVoicesPending = 1;
}

void XMMusicPlayer::Render(SoftwareMixer* mixer, uint8_t*& buffer, int frames, PlayerInfo* info,
                           uint8_t clearFirst) {
  if (resetVoicesPending) {
    mixer->resetVoices();
    resetVoicesPending = 0;
  }
  if (frames > 0) mixer->mix(buffer, frames, clearFirst);
  if (info) {
    info->order = order;
    info->pattern = pattern;
    info->row = row;
    info->patternRows = patternRows;
    info->tick = tick;
    info->speed = speed;
    info->globalVolume = globalVolume;
    info->songEnded = songEnded ? 1 : 0;
  }
}
