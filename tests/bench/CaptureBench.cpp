// One whole pass of the show as capture runs it, writing nothing: how many times faster than
// real time the headless host gets through it (virtual seconds per wall and per CPU second).
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

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

}  // namespace
