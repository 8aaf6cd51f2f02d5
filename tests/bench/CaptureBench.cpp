// One whole pass of the show as capture runs it, writing nothing: how many times faster than
// real time the headless host gets through it (virtual seconds per wall and per CPU second).
// And what capture adds per frame: the video's pictures and the frame hashes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <vector>

#include "Framing.h"
#include "Sha1.h"
#include "ShowRun.h"

namespace {

void CaptureWholePass(benchmark::State& state) {
  double virtualSeconds = 0, wallSeconds = 0, cpuSeconds = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    const auto wall = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();  // every thread of the process
    const capture::RunResult result = capture::RunShow({}, {});
    cpuSeconds += static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    if (!result.passEnded) state.SkipWithError("the pass did not end");
    virtualSeconds += static_cast<double>(result.endUs) / 1e6;
    frames += result.frames;
  }
  state.counters["x_real_time"] = virtualSeconds / wallSeconds;
  state.counters["x_real_time_cpu"] = virtualSeconds / cpuSeconds;
  state.counters["frames"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kAvgIterations);
  state.counters["us_per_frame_cpu"] = cpuSeconds * 1e6 / static_cast<double>(frames);
}
BENCHMARK(CaptureWholePass)->Iterations(3)->UseRealTime()->Unit(benchmark::kSecond);

// A frame with every colour somewhere: the tables are looked up all over.
std::vector<uint16_t> Varied() {
  std::vector<uint16_t> frame(capture::kShowWidth * capture::kShowHeight);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint16_t>(i * 2654435761u >> 7);
  return frame;
}

// Args: scale, output width, output height.
void CaptureVideoPicture(benchmark::State& state) {
  const capture::Framing framing{static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                                 static_cast<int>(state.range(2))};
  capture::FramePainter painter(framing);
  const std::vector<uint16_t> frame = Varied();
  std::vector<uint8_t> out(framing.Yuv420Bytes());
  for (auto _ : state) {
    painter.ToYuv420(frame.data(), false, out.data());
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(CaptureVideoPicture)->Args({1, 640, 480})->Args({2, 1920, 1080})->Unit(benchmark::kMicrosecond);

void CaptureFrameHash(benchmark::State& state) {
  const std::vector<uint16_t> frame = Varied();
  for (auto _ : state) benchmark::DoNotOptimize(capture::Sha1::HexOf(frame.data(), frame.size() * 2));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size() * 2));
}
BENCHMARK(CaptureFrameHash)->Unit(benchmark::kMicrosecond);

}  // namespace
