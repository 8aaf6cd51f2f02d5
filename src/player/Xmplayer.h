// The module player: a song-less base and the XM player with its loaded song.
// Xmplayer.cpp defines construction, Reset and the small setters; Xmload.cpp the loading
// methods; Replay.cpp Render and SetPosition.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "audio/Mixer.h"

// note 1-based (plus relative note, floored at 0), finetune -128..127.
using PeriodFunction = int32_t (*)(int32_t note, int32_t finetune);
// 16.16 source frames per output frame; 0 means the voice stops.
using StepFunction = int32_t (*)(int32_t period, int32_t rate);

// One channel of one row, unpacked.
struct PatternCell {
  uint8_t note;        // 0 none, 1..96 C-0..B-7, 97 and above key-off
  uint8_t instrument;  // 0 none, else 1-based
  uint8_t volume;      // volume-column byte
  uint8_t effect;
  uint8_t param;
};
static_assert(sizeof(PatternCell) == 5);

// Zero-filling allocator the loader uses for everything it keeps (calloc); tests swap it to
// provoke allocation failures.
extern void* (*xmLoaderAllocate)(size_t count, size_t size);

// Vibrato and tremolo waveforms: sine, ramp down, square, random.
extern const int32_t waveformTables[4][64];

struct EnvelopePoint {
  uint16_t tick;
  uint16_t value;
};

struct SampleRecord {
  int32_t valid;          // 1 once the PCM is decoded; 0 never sounds
  int32_t format;         // 1 8-bit, 3 16-bit, 0 empty: the forward play mode
  int32_t bytesPerFrame;  // 1 or 2
  int32_t length;         // bytes
  uint8_t* data;          // length + 3 frames
  uint8_t* loopStart;
  uint8_t* loopEnd;
  uint8_t* end;           // one frame earlier when there is no loop
  int32_t volume;         // 0..64
  int32_t panning;        // 0..255
  int32_t loopType;       // 0 none, 1 forward, 2 ping-pong
  int32_t finetune;       // -128..127
  int32_t relativeNote;
};

struct InstrumentRecord {
  int32_t sampleCount;
  SampleRecord* samples;
  uint8_t keymap[96];
  EnvelopePoint volumeEnvelope[12];
  int32_t volumePoints;
  int32_t volumeSustain;
  int32_t volumeLoopStart;
  int32_t volumeLoopEnd;
  int32_t volumeType;  // bit 0 on, bit 1 sustain, bit 2 loop
  int32_t fadeout;
  EnvelopePoint panningEnvelope[12];
  int32_t panningPoints;
  int32_t panningSustain;
  int32_t panningLoopStart;
  int32_t panningLoopEnd;
  int32_t panningType;
};

// State of one song channel; channel i drives mixer voice i.
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

struct SongInfoInstrument {
  char* name;
  int32_t reserved;
};

struct SongInfoSample {
  char* name;
  int32_t reserved[6];
};

// Built on request as one zero-filled allocation that the caller frees with free().
struct SongInfo {
  char* name;
  int32_t reserved;
  char* formatName;
  int32_t imageSize;
  int32_t memoryUsed;
  int32_t blockSize;
  int32_t channelCount;
  int32_t songLength;
  int32_t* orderRows;
  int32_t patternCount;
  int32_t sampleCount;
  int32_t instrumentCount;
  SongInfoSample* samples;
  SongInfoInstrument* instruments;
};

struct ChannelLevel {
  int32_t left;
  int32_t right;
  int32_t reserved[2];
};

// Song position and channel levels after a Render call.
struct PlayerInfo {
  int32_t channelCount;  // capacity of levels
  int32_t order;
  int32_t pattern;
  int32_t row;
  int32_t patternRows;
  int32_t tick;
  int32_t speed;
  int32_t globalVolume;
  int32_t songEnded;
  ChannelLevel* levels;
  // order << 16 | row, stored last (release) so a reader on another thread gets a matching pair.
  std::atomic<uint32_t> position;
};

class NullMusicPlayer {
 public:
  NullMusicPlayer();
  virtual ~NullMusicPlayer();
  virtual bool LoadFile(const char* path, SongInfo** info);
  virtual bool LoadMemory(const void* image, int size, SongInfo** info);
  virtual void Unload();
  virtual void SetPosition(int order, int row);
  virtual void SetLooping(bool on);
  virtual void SetAmplification(int amp);
  virtual void SetMixRate(int rate);
  virtual void Render(SoftwareMixer* mixer, uint8_t*& buffer, int frames, PlayerInfo* info,
                      uint8_t clearFirst);
  virtual void Idle();
  virtual void Reset();
  virtual void UpdateTickLength();

  int32_t channelCount;
  uint8_t songEnded;
  int32_t memoryUsed;
  uint8_t looping;
  int32_t leftAmplification;
  int32_t rightAmplification;
  int32_t globalVolume;
  int32_t order;
  int32_t pattern;
  int32_t row;
  int32_t tick;
  int32_t bpm;
  int32_t nextOrder;
  int32_t breakRow;
  int32_t songLength;
  int32_t patternCount;
  int32_t instrumentCount;
  int32_t patternRows;
  int32_t speed;
  int32_t initialBpm;
  int32_t initialSpeed;
  int32_t initialGlobalVolume;
  int32_t samplesPerTick;
  int32_t samplesLeft;
  int32_t mixRate;
  uint8_t volumeRefresh;
  PeriodFunction periodFunction;
  StepFunction stepFunction;
};

class XMMusicPlayer : public NullMusicPlayer {
 public:
  static constexpr int kMaxChannels = 32;
  static constexpr int kMaxInstruments = 128;
  static constexpr int kMaxPatterns = 256;
  static constexpr int kMaxOrders = 256;

  XMMusicPlayer();
  ~XMMusicPlayer() override;
  bool LoadFile(const char* path, SongInfo** info) override;
  bool LoadMemory(const void* image, int size, SongInfo** info) override;
  void Unload() override;
  void SetPosition(int order, int row) override;
  void Render(SoftwareMixer* mixer, uint8_t*& buffer, int frames, PlayerInfo* info,
              uint8_t clearFirst) override;
  void Reset() override;

  bool ParseImage(SongInfo** info);

  const uint8_t* image;
  int32_t imageSize;
  PatternCell* patternBlock;
  InstrumentRecord* instruments[kMaxInstruments];
  int32_t orderTable[kMaxOrders];
  int32_t orderRows[kMaxOrders];
  PatternCell* orderData[kMaxOrders];
  int32_t restartPosition;
  uint8_t amigaFrequencies;
  ChannelState channels[kMaxChannels];
  PatternCell* rowCursor;
  uint8_t breakPending;
  int32_t loopStartRow;
  int32_t loopCount;  // -1 = no loop running
  uint8_t loopJumpPending;
  int32_t patternDelay;  // -1 = none
  int32_t vibratoControl;
  int32_t tremoloControl;
  const int32_t* vibratoTable;
  const int32_t* tremoloTable;
  uint8_t resetVoicesPending;
};
