// State of one song channel; channel i drives mixer voice i.
#pragma once
#include <cstdint>

struct InstrumentRecord;
struct SampleRecord;

struct ChannelState {
  int32_t cutCounter;    // -1 = none
  int32_t delayCounter;  // -1 = none
  uint8_t instrumentIndex;  // 255 = none
  InstrumentRecord* instrument;
  uint8_t sampleIndex;
  SampleRecord* sample;

  int32_t volumeSlideMemory;
  int32_t fineVolumeUpMemory;
  int32_t fineVolumeDownMemory;
  int32_t panningSlideMemory;
  int32_t portamentoUpMemory;
  int32_t portamentoDownMemory;
  int32_t tonePortamentoMemory;
  int32_t vibratoMemory;
  int32_t tremoloMemory;
  int32_t globalVolumeSlideMemory;
  int32_t multiRetrigMemory;
  int32_t extraFinePortamentoUpMemory;
  int32_t extraFinePortamentoDownMemory;
  int32_t volumeColumnTonePortamentoMemory;
  int32_t tremorMemory;

  int32_t step;
  int32_t period;
  int32_t targetPeriod;
  int32_t sampleOffset;

  int32_t panningEnvelopeType;
  int32_t panningEnvelopePoint;  // point index x 2
  int32_t panningEnvelopeSegmentTicks;
  int32_t panningEnvelopeTick;
  int32_t panningEnvelopeTarget;
  int32_t panningEnvelopeStart;
  int32_t panningEnvelopeValue;  // 0..64, 32 = no change
  int32_t panningSustainPoint;
  int32_t panningLoopEnd;
  int32_t panningPointLimit;

  int32_t fadeoutVolume;
  uint8_t keyOff;

  int32_t volumeEnvelopeType;
  int32_t volumeEnvelopePoint;
  int32_t volumeEnvelopeSegmentTicks;
  int32_t volumeEnvelopeTick;
  int32_t volumeEnvelopeTarget;
  int32_t volumeEnvelopeStart;
  int32_t volumeEnvelopeValue;  // 0..64
  int32_t volumeSustainPoint;
  int32_t volumeLoopEnd;
  int32_t volumeLastPoint;

  int32_t volume;
  uint8_t tremorMute;
  int32_t panning;
  int32_t vibratoPosition;
  int32_t vibratoOffset;
  uint8_t vibratoActive;
  int32_t tremoloPosition;
  int32_t tremoloVolume;
  uint8_t tremoloActive;
  int32_t note;
  int32_t finetune;
  int32_t relativeNote;
};

class XMMusicPlayer;
class SoftwareMixer;
struct MixerVoice;
struct PatternCell;

// Update requests raised during a channel's step and applied to its voice at the end of it.
constexpr uint32_t RequestTrigger = 1u << 0;
constexpr uint32_t RequestRestart = 1u << 1;
constexpr uint32_t RequestVolume = 1u << 2;
constexpr uint32_t RequestFrequency = 1u << 3;
constexpr uint32_t RequestStop = 1u << 4;

// What one tick knows besides the player: the mixer (null when there is none) and whether a
// pattern delay was already pending when the tick began.
struct TickContext {
  XMMusicPlayer& player;
  SoftwareMixer* mixer;
  bool delayPending;
};

// One channel's work for the current tick: cell, effects, counters, envelopes, voice update.
void ChannelStep(TickContext& context, int index, const PatternCell& cell, MixerVoice& voice);

// Left, right and centre gains from the channel's state (tremor, tremolo, envelopes, panning).
void ComputeGains(const XMMusicPlayer& player, const ChannelState& channel, MixerVoice& voice);

// Period and volume arithmetic shared with the effects.
int32_t SaturatePeriod(int64_t period);
int32_t ClampVolume(int64_t volume);
int32_t ClampPanning(int64_t panning);
