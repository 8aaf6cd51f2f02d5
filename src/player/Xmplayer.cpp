// Player objects: construction, Reset, tick length and the small setters (declared in
// Xmplayer.h; loading is in Xmload.cpp, the replay in Replay.cpp).
#include "player/Xmplayer.h"

#include <climits>

#include "player/Modinfo.h"

NullMusicPlayer::NullMusicPlayer() {
  leftAmplification = rightAmplification = 0x7fffffff;
  looping = 1;
  mixRate = 11025;
  memoryUsed = static_cast<int32_t>(sizeof(NullMusicPlayer));
  songEnded = 0;
  volumeRefresh = 0;
  NullMusicPlayer::Reset();
}

NullMusicPlayer::~NullMusicPlayer() = default;

bool NullMusicPlayer::LoadFile(const char*, SongInfo** info) {
  Unload();
  if (info) *info = nullptr;
  return true;
}

bool NullMusicPlayer::LoadMemory(const void*, int, SongInfo** info) {
  Unload();
  if (info) *info = nullptr;
  return true;
}

void NullMusicPlayer::Unload() {}

void NullMusicPlayer::SetPosition(int newOrder, int newRow) {
  if (newOrder >= songLength) newOrder = songLength > 0 ? songLength - 1 : 0;
  if (newOrder < 0) newOrder = 0;
  if (newRow >= patternRows) newRow = patternRows > 0 ? patternRows - 1 : 0;
  if (newRow < 0) newRow = 0;
  order = newOrder;
  row = newRow;
  nextOrder = order + 1;
  bpm = initialBpm;
  speed = initialSpeed;
  globalVolume = initialGlobalVolume;
  songEnded = 0;
}

void NullMusicPlayer::SetLooping(bool on) { looping = on ? 1 : 0; }

void NullMusicPlayer::SetAmplification(int amp) {
  if (amp == INT_MIN) amp = -INT_MAX;
  leftAmplification = amp;
  rightAmplification = amp < 0 ? -amp : amp;
  volumeRefresh = 1;
}

void NullMusicPlayer::SetMixRate(int rate) {
  mixRate = rate;
  UpdateTickLength();
}

void NullMusicPlayer::Render(SoftwareMixer*, uint8_t*&, int, PlayerInfo*, uint8_t) {}

void NullMusicPlayer::Idle() {}

void NullMusicPlayer::Reset() {
  memoryUsed = static_cast<int32_t>(sizeof(NullMusicPlayer));
  periodFunction = AmigaPeriod;
  stepFunction = AmigaStep;
  looping = 1;
  leftAmplification = rightAmplification = 0x7fffffff;
  order = 0;
  nextOrder = 1;
  pattern = 0;
  row = 0;
  tick = 0;
  initialBpm = bpm = 125;
  breakRow = 0;
  songLength = patternCount = instrumentCount = channelCount = 0;
  patternRows = 64;
  initialSpeed = speed = 6;
  initialGlobalVolume = globalVolume = 0x7fffffff;
  mixRate = 11025;
  samplesLeft = 0;
  UpdateTickLength();
}

void NullMusicPlayer::UpdateTickLength() {
  if (bpm <= 0) bpm = 1;
  // 64-bit: a large rate times 5 does not fit 32 bits; a tick is never shorter than a frame.
  int64_t frames = static_cast<int64_t>(mixRate) * 5 / (static_cast<int64_t>(bpm) * 2);
  if (frames < 1) frames = 1;
  if (frames > INT_MAX) frames = INT_MAX;
  samplesPerTick = static_cast<int32_t>(frames);
}

XMMusicPlayer::XMMusicPlayer() {
  image = nullptr;
  imageSize = 0;
  patternBlock = nullptr;
  restartPosition = 0;
  amigaFrequencies = 1;
  rowCursor = nullptr;
  breakPending = loopJumpPending = 0;
  loopStartRow = 0;
  loopCount = -1;
  patternDelay = -1;
  vibratoControl = tremoloControl = 4;
  vibratoTable = tremoloTable = waveformTables[0];
  for (int i = 0; i < kMaxOrders; i++) {
    orderTable[i] = orderRows[i] = 0;
    orderData[i] = nullptr;
  }
  for (ChannelState& c : channels) c = ChannelState{};
  XMMusicPlayer::Reset();
}

XMMusicPlayer::~XMMusicPlayer() { XMMusicPlayer::Unload(); }

void XMMusicPlayer::Reset() {
  NullMusicPlayer::Reset();
  memoryUsed = static_cast<int32_t>(sizeof(XMMusicPlayer));
  resetVoicesPending = 1;
  for (InstrumentRecord*& slot : instruments) slot = nullptr;
}
