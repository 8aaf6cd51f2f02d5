// Voice mixer: turns a fixed array of voices into interleaved signed 16-bit stereo PCM.
#pragma once
#include <cstdint>

// One voice. Pointers are byte addresses into sample data owned by the loader.
struct MixerVoice {
  int32_t playMode;       // 0 silent; 1..8 source format and direction (odd = forward)
  int32_t leftGain;
  int32_t rightGain;
  int32_t centreGain;     // computed by the engine, read by no routine
  int32_t step;           // 16.16 source frames per output frame
  int32_t signedStep;     // step or -step; owned by the mixer
  const uint8_t* position;
  int32_t fraction;       // 0..65535
  const uint8_t* sampleStart;
  const uint8_t* loopStart;
  const uint8_t* loopEnd;    // exclusive
  const uint8_t* sampleEnd;  // exclusive
  int32_t loopType;       // 0 none, 1 forward, 2 ping-pong
};

// Mixes up to `frames` frames of one voice at `cursor`, advancing it 4 bytes a frame;
// returns the frames it did not mix.
using MixRoutine = int (*)(MixerVoice& voice, uint8_t*& cursor, int frames);

enum : int {
  MixModeSilent = 0,
  MixModeMono = 6,
  MixModeMonoInterpolated = 8,
  MixModeStereo = 10,
  MixModeStereoInterpolated = 12,
};

class SoftwareMixer {
 public:
  explicit SoftwareMixer(int voiceCount);
  ~SoftwareMixer();
  SoftwareMixer(const SoftwareMixer&) = delete;
  SoftwareMixer& operator=(const SoftwareMixer&) = delete;

  void resetVoices();
  bool setMode(int mode);  // true = refused
  void setRoutines(const MixRoutine* table);
  void mix(uint8_t*& out, int frames, uint8_t clearFirst);

  int32_t voiceCount;
  MixerVoice* voices;
  int32_t mixingVoice;
  MixRoutine routines[9];
  int32_t frameBytes;
  int8_t fillByte;
};
