// The channel step: note and instrument part, counters, envelopes, fadeout and the voice update.
#include "player/Channel.h"

#include <algorithm>
#include <climits>

#include "player/Effects.h"
#include "player/Modinfo.h"
#include "player/Xmplayer.h"

namespace {

constexpr int kEnvelopeCapacity = 12;

// Envelope values come straight from the file; a gain factor above 64 would overflow the gain.
int32_t EnvelopeValue(const EnvelopePoint* points, int index) {
  return std::min<int32_t>(points[index].value, 64);
}

int32_t PointCount(int32_t stored) { return std::clamp(stored, 0, kEnvelopeCapacity); }

void RestartEnvelopes(ChannelState& c) {
  const InstrumentRecord& ins = *c.instrument;
  c.volumeEnvelopeType = ins.volumeType;
  c.volumeEnvelopePoint = 0;
  c.volumeEnvelopeTick = 0;
  c.volumeEnvelopeSegmentTicks = ins.volumeEnvelope[1].tick;
  c.volumeEnvelopeStart = EnvelopeValue(ins.volumeEnvelope, 0);
  c.volumeEnvelopeTarget = EnvelopeValue(ins.volumeEnvelope, 1);
  c.volumeSustainPoint = ins.volumeSustain * 2;
  c.volumeLoopEnd = ins.volumeLoopEnd * 2;
  c.volumeLastPoint = PointCount(ins.volumePoints) * 2 - 2;
  c.volumeEnvelopeValue = 64;

  c.panningEnvelopeType = ins.panningType;
  c.panningEnvelopePoint = 0;
  c.panningEnvelopeTick = 0;
  c.panningEnvelopeSegmentTicks = ins.panningEnvelope[1].tick;
  c.panningEnvelopeStart = EnvelopeValue(ins.panningEnvelope, 0);
  c.panningEnvelopeTarget = EnvelopeValue(ins.panningEnvelope, 1);
  c.panningSustainPoint = ins.panningSustain * 2;
  c.panningLoopEnd = ins.panningLoopEnd * 2;
  c.panningPointLimit = PointCount(ins.panningPoints) * 2;
  c.panningEnvelopeValue = 32;
}

void KeyOff(ChannelState& c, uint32_t& requests) {
  if (c.volumeEnvelopeType & 1)
    c.keyOff = 1;
  else
    requests |= RequestStop;
}

// Keymap lookup for a note; a channel that never had a note (0) keeps its current sample.
void ChooseSample(ChannelState& c, int32_t note) {
  const InstrumentRecord* ins = c.instrument;
  if (!ins || note < 1 || note > 96) return;
  const int index = ins->keymap[note - 1];
  if (index >= ins->sampleCount) return;
  if (!ins->samples[index].valid) {
    for (int i = 0; i < ins->sampleCount; i++) {
      if (ins->samples[i].valid) {
        c.sampleIndex = static_cast<uint8_t>(i);
        c.sample = &ins->samples[i];
        return;
      }
    }
    c.sampleIndex = 0;
    c.sample = nullptr;
    return;
  }
  c.sampleIndex = static_cast<uint8_t>(index);
  c.sample = &ins->samples[index];
}

int32_t NotePeriod(const XMMusicPlayer& p, const ChannelState& c) {
  return p.periodFunction(std::max(c.note + c.relativeNote, 0), c.finetune);
}

void TakeSampleTuning(ChannelState& c) {
  c.relativeNote = c.sample->relativeNote;
  c.finetune = c.sample->finetune;
}

void NoteAndInstrument(const XMMusicPlayer& p, ChannelState& c, const PatternCell& cell,
                       uint32_t& requests) {
  const bool tonePortamento = cell.effect == 3 || cell.volume >= 0xF0;
  const int note = cell.note;
  const bool keyOffNote = note >= 97;
  const int instrumentCount = std::min<int>(p.instrumentCount, XMMusicPlayer::kMaxInstruments);

  if (cell.instrument != 0 && !tonePortamento) {
    const int index = cell.instrument - 1;
    if (index < instrumentCount && index != c.instrumentIndex) {
      c.instrumentIndex = static_cast<uint8_t>(index);
      c.instrument = p.instruments[index];
      c.sampleOffset = 0;
      if (c.instrument) requests |= RequestTrigger;
    }
    if (!c.instrument) return;
    if (keyOffNote) {
      KeyOff(c, requests);
    } else {
      RestartEnvelopes(c);
      c.keyOff = 0;
      c.fadeoutVolume = 65535;
      if (note) {
        c.note = note;
        c.sampleOffset = 0;
        requests |= RequestTrigger;
      }
      ChooseSample(c, c.note);
      if (c.sample) {
        TakeSampleTuning(c);
        // 8xx on an instrument-only cell keeps the volume so the panning can be set alone.
        if (!(cell.effect == 8 && !note && cell.volume <= 0x0F)) c.volume = c.sample->volume;
        c.panning = c.sample->panning;
        c.period = NotePeriod(p, c);
      }
    }
    requests |= RequestVolume | RequestFrequency;
    return;
  }

  if (!note) return;
  if (tonePortamento) {
    if (keyOffNote) {
      KeyOff(c, requests);
      return;
    }
    c.note = note;
    c.targetPeriod = NotePeriod(p, c);
    if (cell.instrument == 0) return;
    if (c.instrument) RestartEnvelopes(c);
    if (c.sample) {
      c.volume = c.sample->volume;
      c.panning = c.sample->panning;
      c.keyOff = 0;
      c.fadeoutVolume = 65535;
      requests |= RequestVolume;
    }
    return;
  }

  if (keyOffNote) {
    KeyOff(c, requests);
  } else {
    c.keyOff = 0;
    c.fadeoutVolume = 65535;
    c.sampleOffset = 0;
    c.note = note;
    if (c.instrument) {
      ChooseSample(c, note);
      if (c.sample) TakeSampleTuning(c);
    }
    c.period = NotePeriod(p, c);
    requests |= RequestTrigger;
  }
  requests |= RequestFrequency | RequestVolume;
}

// Linear interpolation between the current point and the next, shared by both envelopes.
void Interpolate(int32_t start, int32_t target, int32_t tick, int32_t segment, int32_t& value) {
  if (segment != 0) value = std::clamp(start + (target - start) * tick / segment, 0, 64);
}

void VolumeEnvelope(ChannelState& c, uint32_t& requests) {
  const InstrumentRecord& ins = *c.instrument;
  if (c.volumeEnvelopePoint < c.volumeLastPoint) {
    const bool held = !c.keyOff && c.volumeEnvelopePoint == c.volumeSustainPoint &&
                      (c.volumeEnvelopeType & 2);
    if (!held) c.volumeEnvelopeTick++;
    Interpolate(c.volumeEnvelopeStart, c.volumeEnvelopeTarget, c.volumeEnvelopeTick,
                c.volumeEnvelopeSegmentTicks, c.volumeEnvelopeValue);
    if (c.volumeEnvelopeTick >= c.volumeEnvelopeSegmentTicks) {
      if (!held) c.volumeEnvelopePoint += 2;
      // Once released, the volume envelope no longer loops.
      if ((c.volumeEnvelopeType & 4) && !c.keyOff && c.volumeEnvelopePoint >= c.volumeLoopEnd)
        c.volumeEnvelopePoint = ins.volumeLoopStart * 2;
      if (c.volumeEnvelopePoint >= 0 && c.volumeEnvelopePoint < c.volumeLastPoint) {
        const int i = c.volumeEnvelopePoint / 2;
        c.volumeEnvelopeStart = EnvelopeValue(ins.volumeEnvelope, i);
        c.volumeEnvelopeTarget = EnvelopeValue(ins.volumeEnvelope, i + 1);
        c.volumeEnvelopeSegmentTicks = ins.volumeEnvelope[i + 1].tick - ins.volumeEnvelope[i].tick;
      }
      c.volumeEnvelopeTick = 0;
    }
  }
  if (c.volumeEnvelopePoint >= c.volumeLastPoint) c.volumeEnvelopeValue = c.volumeEnvelopeTarget;
  requests |= RequestVolume;
}

void PanningEnvelope(ChannelState& c, uint32_t& requests) {
  const InstrumentRecord& ins = *c.instrument;
  const bool held = !c.keyOff && c.panningEnvelopePoint == c.panningSustainPoint &&
                    (c.panningEnvelopeType & 2);
  if (!held) c.panningEnvelopeTick++;
  Interpolate(c.panningEnvelopeStart, c.panningEnvelopeTarget, c.panningEnvelopeTick,
              c.panningEnvelopeSegmentTicks, c.panningEnvelopeValue);
  if (c.panningEnvelopeTick >= c.panningEnvelopeSegmentTicks) {
    if (!held) c.panningEnvelopePoint += 2;
    // The panning envelope loops whatever keyOff says, but not when it also has a sustain.
    if ((c.panningEnvelopeType & 6) == 4 && c.panningEnvelopePoint >= c.panningLoopEnd)
      c.panningEnvelopePoint = ins.panningLoopStart * 2;
    const int i = c.panningEnvelopePoint / 2;
    if (c.panningEnvelopePoint >= 0 && c.panningEnvelopePoint < c.panningPointLimit) {
      c.panningEnvelopeStart = EnvelopeValue(ins.panningEnvelope, i);
      if (c.panningEnvelopePoint + 2 < c.panningPointLimit) {
        c.panningEnvelopeTarget = EnvelopeValue(ins.panningEnvelope, i + 1);
        c.panningEnvelopeSegmentTicks =
            ins.panningEnvelope[i + 1].tick - ins.panningEnvelope[i].tick;
      } else {
        // The last point has no successor: hold its value for the tick before switching off.
        c.panningEnvelopeTarget = c.panningEnvelopeStart;
        c.panningEnvelopeSegmentTicks = 0;
      }
    } else {
      c.panningEnvelopeType = 0;
    }
    c.panningEnvelopeTick = 0;
  }
  requests |= RequestVolume;
}

void EnvelopesAndFadeout(ChannelState& c, uint32_t& requests) {
  if (!c.instrument) return;
  if (c.volumeEnvelopeType & 1) VolumeEnvelope(c, requests);
  if (c.panningEnvelopeType & 1) PanningEnvelope(c, requests);
  if ((c.volumeEnvelopeType & 1) && c.keyOff && c.instrument->fadeout != 0) {
    c.fadeoutVolume -= c.instrument->fadeout;
    if (c.fadeoutVolume < 0) {
      c.fadeoutVolume = 0;
      c.keyOff = 0;
      requests |= RequestStop;
    }
    requests |= RequestVolume;
  }
}

void ApplyRequests(const XMMusicPlayer& p, ChannelState& c, MixerVoice& voice, uint32_t requests) {
  if (requests & RequestStop) {
    voice.playMode = 0;
    requests &= ~(RequestTrigger | RequestFrequency);
  } else if (requests & RequestFrequency) {
    int64_t period = c.period;
    if (c.vibratoActive) period += c.vibratoOffset;
    // The step tables have no entry for a period below 0; such a period plays as 0.
    const int32_t stepPeriod = static_cast<int32_t>(std::clamp<int64_t>(period, 0, INT32_MAX));
    c.step = p.mixRate > 0 ? p.stepFunction(stepPeriod, p.mixRate) : 0;
    c.vibratoActive = 0;
    voice.step = c.step;
    if (c.step == 0) {
      voice.playMode = 0;
      requests &= ~RequestTrigger;
    }
  }
  if (requests & RequestTrigger) {
    if (c.sample) {
      const SampleRecord& s = *c.sample;
      voice.sampleStart = s.data;
      voice.loopStart = s.loopStart;
      voice.loopEnd = s.loopEnd;
      voice.sampleEnd = s.end;
      voice.loopType = s.loopType;
      voice.playMode = (s.valid && s.data) ? s.format : 0;
      requests |= RequestRestart | RequestVolume;
    } else {
      voice.playMode = 0;
    }
  }
  // A restart only makes sense inside the sample the voice is playing.
  if ((requests & RequestRestart) && c.sample && c.sample->data &&
      voice.sampleStart == c.sample->data) {
    const SampleRecord& s = *c.sample;
    const int64_t playable = s.end - s.data;
    // The voice's fraction is left alone: a restart moves whole frames only.
    voice.position = s.data + (c.sampleOffset >= 0 && c.sampleOffset < playable ? c.sampleOffset : 0);
  }
  if (requests & RequestVolume) {
    ComputeGains(p, c, voice);
    c.tremorMute = 0;
    c.tremoloActive = 0;
  }
}

}  // namespace

void ChannelStep(TickContext& context, int index, const PatternCell& cell, MixerVoice& voice) {
  XMMusicPlayer& p = context.player;
  ChannelState& c = p.channels[index];
  uint32_t requests = p.volumeRefresh ? RequestVolume : 0;

  if (p.tick == 0) {
    if (!context.delayPending) NoteAndInstrument(p, c, cell, requests);
    requests |= VolumeColumnFirstTick(context, c, cell.volume);
    requests |= EffectFirstTick(context, c, cell);
  } else {
    requests |= VolumeColumnLaterTick(context, c, cell.volume);
    requests |= EffectLaterTick(context, c, cell);
  }

  if (c.cutCounter != -1) {
    if (c.cutCounter == 0) requests |= RequestStop;
    c.cutCounter--;
  }

  if (c.delayCounter == 0)
    requests |= RequestTrigger | RequestRestart | RequestVolume | RequestFrequency;
  if (c.delayCounter > 0) {
    c.delayCounter--;
    return;
  }
  c.delayCounter = -1;

  EnvelopesAndFadeout(c, requests);
  ApplyRequests(p, c, voice, requests);
}
