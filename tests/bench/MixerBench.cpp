// Voice mixer throughput: nanoseconds per voice-frame for each routine family, and the CPU
// time that 32 busy voices cost per second of 44100 Hz output.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/Mixer.h"

namespace {

constexpr int kBlock = 630;  // 44100 / 70
constexpr int kSampleFrames = 1 << 16;

struct Source {
  std::vector<uint8_t> bytes;
  int frameBytes;
  Source(bool wide) : bytes((kSampleFrames + 3) * (wide ? 2 : 1)), frameBytes(wide ? 2 : 1) {
    uint32_t x = 12345;
    for (uint8_t& b : bytes) {
      x = x * 1103515245 + 12345;
      b = static_cast<uint8_t>(x >> 16);
    }
  }
  const uint8_t* frame(int i) const { return bytes.data() + i * frameBytes; }
};

void Busy(SoftwareMixer& m, const Source& s, int mode, int loopType) {
  for (int i = 0; i < m.voiceCount; i++) {
    MixerVoice& v = m.voices[i];
    v = MixerVoice{};
    v.playMode = mode;
    v.leftGain = 0x3F000000 - i * 0x10000;
    v.rightGain = 0x20000000 + i * 0x10000;
    v.step = 0xC000 + i * 0x1357;  // spread of pitches around the sample rate
    v.sampleStart = v.position = s.frame(i * 97);
    v.loopStart = s.frame(1000);
    v.loopEnd = s.frame(kSampleFrames - 1);
    v.sampleEnd = s.frame(kSampleFrames - 1);
    v.loopType = loopType;
  }
}

// args: 16-bit, interpolated, ping-pong
void BM_MixerRoutine(benchmark::State& state) {
  const bool wide = state.range(0) != 0;
  const bool interpolated = state.range(1) != 0;
  const int loopType = state.range(2) ? 2 : 1;
  const int voices = 32;
  Source source(wide);
  SoftwareMixer m(voices);
  m.setMode(interpolated ? MixModeStereoInterpolated : MixModeStereo);
  Busy(m, source, wide ? 3 : 1, loopType);
  std::vector<int16_t> out(2 * kBlock);
  for (auto _ : state) {
    uint8_t* cursor = reinterpret_cast<uint8_t*>(out.data());
    m.mix(cursor, kBlock, 1);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["time_per_voice_frame"] = benchmark::Counter(
      voices * kBlock, benchmark::Counter::kIsIterationInvariantRate |
                                  benchmark::Counter::kInvert);
  state.SetLabel(std::string(wide ? "16-bit" : "8-bit") + (interpolated ? " interpolated" : " plain") +
                 (loopType == 2 ? " ping-pong" : " forward"));
}
BENCHMARK(BM_MixerRoutine)->ArgsProduct({{0, 1}, {0, 1}, {0, 1}});

// The show's case: 32 busy 16-bit voices, interpolated, one 44100 Hz block per call.
void BM_Mixer32VoicesInterpolated44100(benchmark::State& state) {
  Source source(true);
  SoftwareMixer m(32);
  m.setMode(MixModeStereoInterpolated);
  Busy(m, source, 3, 1);
  std::vector<int16_t> out(2 * kBlock);
  for (auto _ : state) {
    uint8_t* cursor = reinterpret_cast<uint8_t*>(out.data());
    m.mix(cursor, kBlock, 1);
    benchmark::DoNotOptimize(out.data());
  }
  // 70 blocks make a second of output.
  state.counters["cpu_per_second_of_output"] = benchmark::Counter(
      1.0 / 70, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Mixer32VoicesInterpolated44100);

}  // namespace
