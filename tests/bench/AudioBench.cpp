// The player thread's work for one driver buffer (four 1/70 s blocks rendered with their
// position records, and the copy into the driver) on the embedded song at 44100 Hz.
// corePercent: the percentage of one core this takes while the song plays in real time.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "app/Settings.h"
#include "audio/Out_base.h"
#include "player/Xmplayer.h"
#include "testing.h"

namespace {

void PlayerThreadBuffer(benchmark::State& state) {
  vemora::testing::UseHeadlessHost();
  audioDriver = 0;
  mixRate = 44100;
  stereo = 1;
  interpolation = static_cast<int32_t>(state.range(0));
  AudioCreate();
  vemora::testing::FailWaveOutOpen();  // the ring without a thread: this loop is the thread
  AudioStart();
  const int blockBytes = framesPerBlock * bytesPerFrame;
  std::vector<uint8_t> work(static_cast<size_t>(blockBytes) * blocksPerBuffer);
  std::vector<uint8_t> device(work.size());
  int64_t frames = 0;
  for (auto _ : state) {
    for (int k = 0; k < blocksPerBuffer; ++k) {
      uint8_t* cursor = work.data() + static_cast<size_t>(k) * blockBytes;
      musicPlayer->Render(mixer, cursor, framesPerBlock, writeInfo, 1);
      AdvanceWriteSlot();
    }
    std::memcpy(device.data(), work.data(), work.size());
    benchmark::DoNotOptimize(device.data());
    AudioAdvance(blocksPerBuffer);
    frames += int64_t{framesPerBlock} * blocksPerBuffer;
  }
  // CPU seconds per hundredth of a played second.
  state.counters["corePercent"] = benchmark::Counter(static_cast<double>(frames) / mixRate / 100,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  AudioStop();
  AudioDestroy();
  vemora::testing::ResetHost();
}
BENCHMARK(PlayerThreadBuffer)->Arg(1)->Arg(0)->ArgName("interpolation")->Unit(benchmark::kMicrosecond);

}  // namespace
