// Volume-column bytes and effect commands, at a row's first tick and at its later ticks.
#include "player/Effects.h"

#include <algorithm>

#include "player/Modinfo.h"
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

namespace {

enum Effect : uint8_t {
  PortamentoUp = 0x1,
  PortamentoDown = 0x2,
  TonePortamento = 0x3,
  Vibrato = 0x4,
  TonePortamentoVolumeSlide = 0x5,
  VibratoVolumeSlide = 0x6,
  Tremolo = 0x7,
  SetPanning = 0x8,
  SampleOffset = 0x9,
  VolumeSlide = 0xA,
  PositionJump = 0xB,
  SetVolume = 0xC,
  PatternBreak = 0xD,
  Extended = 0xE,
  SpeedTempo = 0xF,
  SetGlobalVolume = 16,   // G
  GlobalVolumeSlide = 17, // H
  KeyOffCommand = 20,     // K
  EnvelopePosition = 21,  // L
  PanningSlide = 25,      // P
  MultiRetrig = 27,       // R
  Tremor = 29,            // T
  ExtraFine = 33,         // X
};

constexpr int32_t kFullGlobalVolume = 0x7fffffff;

void SetVolumeClamped(ChannelState& c, int64_t delta) {
  c.volume = ClampVolume(static_cast<int64_t>(ClampVolume(c.volume)) + delta);
}

void SetPanningClamped(ChannelState& c, int64_t delta) {
  c.panning = ClampPanning(static_cast<int64_t>(c.panning) + delta);
}

void AddPeriod(ChannelState& c, int64_t delta) { c.period = SaturatePeriod(c.period + delta); }

int VibratoSpeed(const ChannelState& c) { return (c.vibratoMemory >> 4) & 15; }
int VibratoDepth(const ChannelState& c) { return c.vibratoMemory & 15; }

// The first tick uses a quarter of the later ticks' depth: /128 against /32 there.
uint32_t StartVibrato(const XMMusicPlayer& p, ChannelState& c) {
  if (!(p.vibratoControl & 4)) c.vibratoPosition = 0;
  c.vibratoOffset = p.vibratoTable[c.vibratoPosition] * VibratoDepth(c) / 128;
  c.vibratoActive = 1;
  return RequestFrequency;
}

uint32_t AdvanceVibrato(const XMMusicPlayer& p, ChannelState& c) {
  c.vibratoPosition = (c.vibratoPosition + VibratoSpeed(c)) & 63;
  c.vibratoOffset = p.vibratoTable[c.vibratoPosition] * VibratoDepth(c) / 32;
  c.vibratoActive = 1;
  return RequestFrequency;
}

uint32_t ApplyTremolo(const XMMusicPlayer& p, ChannelState& c) {
  const int depth = c.tremoloMemory & 15;
  const int32_t delta = p.tremoloTable[c.tremoloPosition] * depth / 64;
  c.tremoloVolume = ClampVolume(static_cast<int64_t>(ClampVolume(c.volume)) + delta);
  c.tremoloActive = 1;
  return RequestVolume;
}

uint32_t TonePortamentoStep(ChannelState& c, int64_t step) {
  if (c.period == c.targetPeriod) return 0;
  if (c.targetPeriod > c.period)
    c.period = static_cast<int32_t>(std::min<int64_t>(c.period + step, c.targetPeriod));
  else
    c.period = static_cast<int32_t>(std::max<int64_t>(c.period - step, c.targetPeriod));
  return RequestFrequency;
}

// The high nibble wins: A11 slides up by 1.
uint32_t VolumeSlideBy(ChannelState& c, int m) {
  if (m > 15)
    SetVolumeClamped(c, m >> 4);
  else
    SetVolumeClamped(c, -(m & 15));
  return RequestVolume;
}

void Remember(int32_t& memory, int value) {
  if (value != 0) memory = value;
}

void ChangeGlobalVolume(TickContext& context, int64_t value) {
  XMMusicPlayer& p = context.player;
  p.globalVolume = static_cast<int32_t>(std::clamp<int64_t>(value, 0, kFullGlobalVolume));
  RefreshAllGains(p, context.mixer);
}

int32_t RetrigVolume(int32_t volume, int y) {
  const int64_t v = ClampVolume(volume);
  switch (y) {
    case 0x1: return ClampVolume(v - 1);
    case 0x2: return ClampVolume(v - 2);
    case 0x3: return ClampVolume(v - 4);
    case 0x4: return ClampVolume(v - 8);
    case 0x5: return ClampVolume(v - 16);
    case 0x6: return ClampVolume(v * 2 / 3);
    case 0x7: return ClampVolume(v / 2);
    case 0x9: return ClampVolume(v + 1);
    case 0xA: return ClampVolume(v + 2);
    case 0xB: return ClampVolume(v + 4);
    case 0xC: return ClampVolume(v + 8);
    case 0xD: return ClampVolume(v + 16);
    case 0xE: return ClampVolume(v * 3 / 2);
    case 0xF: return ClampVolume(v * 2);
    default: return static_cast<int32_t>(v);
  }
}

uint32_t TremorTick(const XMMusicPlayer& p, ChannelState& c) {
  const int m = c.tremorMemory;
  if (m == 0) return 0;
  const int on = (m >> 4) & 15, off = m & 15;
  // The phase counts this row's ticks, so every row starts the cycle afresh.
  if (p.tick % (on + off + 1) >= on) c.tremorMute = 1;
  return RequestVolume;
}

uint32_t ExtendedFirstTick(TickContext& context, ChannelState& c, int x, int y) {
  XMMusicPlayer& p = context.player;
  switch (x) {
    case 0x1:
      AddPeriod(c, -4 * y);
      return RequestFrequency;
    case 0x2:
      AddPeriod(c, 4 * y);
      return RequestFrequency;
    case 0x4:
      // One waveform for the whole player: any channel's E4y changes every channel's vibrato.
      p.vibratoControl = y & 4;
      p.vibratoTable = waveformTables[y & 3];
      return 0;
    case 0x6:
      if (y == 0) {
        p.loopStartRow = p.row;
      } else {
        if (p.loopCount == -1) p.loopCount = y;
        if (p.loopCount < 1)
          p.loopStartRow = p.row + 1;
        else
          p.loopJumpPending = 1;
        p.loopCount--;
      }
      return 0;
    case 0x7:
      p.tremoloControl = y & 4;
      p.tremoloTable = waveformTables[y & 3];
      return 0;
    case 0x9:
      return y != 0 ? RequestRestart : 0;
    case 0xA:
      Remember(c.fineVolumeUpMemory, y);
      SetVolumeClamped(c, c.fineVolumeUpMemory);
      return RequestVolume;
    case 0xB:
      Remember(c.fineVolumeDownMemory, y);
      SetVolumeClamped(c, -c.fineVolumeDownMemory);
      return RequestVolume;
    case 0xC:
      c.cutCounter = y;
      return 0;
    case 0xD:
      c.delayCounter += y + 1;
      return 0;
    case 0xE:
      if (p.patternDelay == -1) p.patternDelay = y;
      return 0;
    default:
      return 0;
  }
}

}  // namespace

void ComputeGains(const XMMusicPlayer& p, const ChannelState& c, MixerVoice& voice) {
  if (c.tremorMute) {
    voice.leftGain = voice.rightGain = voice.centreGain = 0;
    return;
  }
  const int32_t v = ClampVolume(c.tremoloActive ? c.tremoloVolume : c.volume) * 0x1FFFFFF;
  const int32_t pan = FinalPanning(c.panning, c.panningEnvelopeValue);
  voice.leftGain = ChannelGain(v, c.fadeoutVolume, c.volumeEnvelopeValue, p.leftAmplification,
                               p.globalVolume, 255 - pan);
  voice.rightGain = ChannelGain(v, c.fadeoutVolume, c.volumeEnvelopeValue, p.rightAmplification,
                                p.globalVolume, pan);
  voice.centreGain = ChannelGain(v, c.fadeoutVolume, c.volumeEnvelopeValue, p.leftAmplification,
                                 p.globalVolume, 128);
}

void RefreshAllGains(XMMusicPlayer& p, SoftwareMixer* mixer) {
  if (!mixer) return;
  const int count = std::min({p.channelCount, XMMusicPlayer::kMaxChannels, mixer->voiceCount});
  for (int i = 0; i < count; i++) ComputeGains(p, p.channels[i], mixer->voices[i]);
}

uint32_t VolumeColumnFirstTick(TickContext& context, ChannelState& c, uint8_t byte) {
  const XMMusicPlayer& p = context.player;
  const int y = byte & 15;
  if (byte >= 0x10 && byte <= 0x50) {
    // Repeats of a delayed row keep the volume that the slides gave it.
    if (context.delayPending) return 0;
    c.volume = byte - 16;
    return RequestVolume;
  }
  switch (byte >> 4) {
    case 0x8:
      SetVolumeClamped(c, -y);
      return RequestVolume;
    case 0x9:
      SetVolumeClamped(c, y);
      return RequestVolume;
    case 0xA:
      if (y) c.vibratoMemory = (c.vibratoMemory & 0x0F) | (y << 4);
      return 0;
    case 0xB:
      if (y) c.vibratoMemory = (c.vibratoMemory & 0xF0) | y;
      return StartVibrato(p, c);
    case 0xC:
      c.panning = y * 17;
      return RequestVolume;
    case 0xD:
      SetPanningClamped(c, -y);
      return RequestVolume;
    case 0xE:
      SetPanningClamped(c, y);
      return RequestVolume;
    case 0xF:
      Remember(c.volumeColumnTonePortamentoMemory, y);
      return 0;
    default:
      return 0;
  }
}

uint32_t VolumeColumnLaterTick(TickContext& context, ChannelState& c, uint8_t byte) {
  const XMMusicPlayer& p = context.player;
  const int y = byte & 15;
  switch (byte >> 4) {
    case 0x6:
      SetVolumeClamped(c, -y);
      return RequestVolume;
    case 0x7:
      SetVolumeClamped(c, y);
      return RequestVolume;
    case 0xB:
      return AdvanceVibrato(p, c);
    case 0xD:
      SetPanningClamped(c, -y);
      return RequestVolume;
    case 0xE:
      SetPanningClamped(c, y);
      return RequestVolume;
    case 0xF:
      return TonePortamentoStep(c, c.volumeColumnTonePortamentoMemory * 16);
    default:
      return 0;
  }
}

uint32_t EffectFirstTick(TickContext& context, ChannelState& c, const PatternCell& cell) {
  XMMusicPlayer& p = context.player;
  const int xx = cell.param, x = xx >> 4, y = xx & 15;
  switch (cell.effect) {
    case PortamentoUp:
      Remember(c.portamentoUpMemory, xx);
      return 0;
    case PortamentoDown:
      Remember(c.portamentoDownMemory, xx);
      return 0;
    case TonePortamento:
      Remember(c.tonePortamentoMemory, xx);
      return 0;
    case Vibrato:
      // The whole byte: 4x0 sets speed x and depth 0.
      Remember(c.vibratoMemory, xx);
      return StartVibrato(p, c);
    case TonePortamentoVolumeSlide:
      Remember(c.volumeSlideMemory, xx);
      return 0;
    case VibratoVolumeSlide: {
      const uint32_t requests = StartVibrato(p, c);
      Remember(c.volumeSlideMemory, xx);
      return requests;
    }
    case Tremolo: {
      Remember(c.tremoloMemory, xx);
      const uint32_t requests = ApplyTremolo(p, c);
      if (!(p.tremoloControl & 4)) c.tremoloPosition = 0;
      return requests;
    }
    case SetPanning:
      c.panning = xx;
      return RequestVolume;
    case SampleOffset:
      if (c.sample) c.sampleOffset = xx * 256 * c.sample->bytesPerFrame;
      return RequestRestart;
    case VolumeSlide:
      Remember(c.volumeSlideMemory, xx);
      return 0;
    case PositionJump: {
      const int length = std::min<int>(p.songLength, XMMusicPlayer::kMaxOrders);
      if (length > 0) {
        p.nextOrder = xx % length;
        p.breakPending = 1;
      }
      return 0;
    }
    case SetVolume:
      c.volume = std::min(xx, 64);
      return RequestVolume;
    case PatternBreak:
      // Taken as a plain binary number: D10 starts the next pattern at row 16.
      p.breakRow = xx;
      p.breakPending = 1;
      return 0;
    case Extended:
      return ExtendedFirstTick(context, c, x, y);
    case SpeedTempo:
      if (xx > 31) {
        p.bpm = xx;
        p.UpdateTickLength();
      } else {
        p.speed = xx;
      }
      return 0;
    case SetGlobalVolume:
      // 64 x 0x1FFFFFF is 0x7FFFFFC0, a hair below full; only values above 64 give full.
      ChangeGlobalVolume(context, xx > 64 ? kFullGlobalVolume : int64_t{xx} * 0x1FFFFFF);
      return 0;
    case GlobalVolumeSlide:
      Remember(c.globalVolumeSlideMemory, xx);
      return 0;
    case KeyOffCommand:
      if (c.volumeEnvelopeType & 1) {
        c.keyOff = 1;
        return 0;
      }
      return RequestStop;
    case EnvelopePosition:
      c.volumeEnvelopePoint = std::min(xx * 2, c.volumeLastPoint);
      c.volumeEnvelopeTick = 0;
      c.panningEnvelopePoint = std::min(xx * 2, c.panningPointLimit);
      c.panningEnvelopeTick = 0;
      return 0;
    case PanningSlide:
      Remember(c.panningSlideMemory, xx);
      return 0;
    case MultiRetrig:
      Remember(c.multiRetrigMemory, xx);
      return 0;
    case Tremor:
      Remember(c.tremorMemory, xx);
      return TremorTick(p, c);
    case ExtraFine:
      if (x == 1) {
        Remember(c.extraFinePortamentoUpMemory, y);
        AddPeriod(c, -c.extraFinePortamentoUpMemory);
        return RequestFrequency;
      }
      if (x == 2) {
        Remember(c.extraFinePortamentoDownMemory, y);
        AddPeriod(c, c.extraFinePortamentoDownMemory);
        return RequestFrequency;
      }
      return 0;
    default:
      return 0;
  }
}

uint32_t EffectLaterTick(TickContext& context, ChannelState& c, const PatternCell& cell) {
  XMMusicPlayer& p = context.player;
  const int xx = cell.param;
  switch (cell.effect) {
    case PortamentoUp:
      AddPeriod(c, -4 * int64_t{c.portamentoUpMemory});
      return RequestFrequency;
    case PortamentoDown:
      AddPeriod(c, 4 * int64_t{c.portamentoDownMemory});
      return RequestFrequency;
    case TonePortamento:
      return TonePortamentoStep(c, int64_t{c.tonePortamentoMemory} * 4);
    case Vibrato:
      return AdvanceVibrato(p, c);
    case TonePortamentoVolumeSlide: {
      const uint32_t requests = VolumeSlideBy(c, c.volumeSlideMemory);
      return requests | TonePortamentoStep(c, int64_t{c.tonePortamentoMemory} * 4);
    }
    case VibratoVolumeSlide: {
      const uint32_t requests = AdvanceVibrato(p, c);
      return requests | VolumeSlideBy(c, c.volumeSlideMemory);
    }
    case Tremolo:
      c.tremoloPosition = (c.tremoloPosition + ((c.tremoloMemory >> 4) & 15)) & 63;
      return ApplyTremolo(p, c);
    case VolumeSlide:
      return VolumeSlideBy(c, c.volumeSlideMemory);
    case Extended: {
      const int y = xx & 15;
      if ((xx >> 4) == 0x9 && y != 0 && p.tick % y == 0) return RequestRestart;
      return 0;
    }
    case GlobalVolumeSlide: {
      const int m = c.globalVolumeSlideMemory;
      if (m & 15)
        ChangeGlobalVolume(context, int64_t{p.globalVolume} - int64_t{m & 15} * 0x2000000);
      else
        ChangeGlobalVolume(context, int64_t{p.globalVolume} + int64_t{m >> 4} * 0x2000000);
      return 0;
    }
    case PanningSlide: {
      const int m = c.panningSlideMemory;
      SetPanningClamped(c, m >> 4);
      SetPanningClamped(c, -(m & 15));
      return RequestVolume;
    }
    case MultiRetrig: {
      const int m = c.multiRetrigMemory, x = m >> 4;
      if (x == 0 || p.tick % x != 0) return 0;
      c.volume = RetrigVolume(c.volume, m & 15);
      return RequestRestart | RequestVolume;
    }
    case Tremor:
      return TremorTick(p, c);
    default:
      return 0;
  }
}
