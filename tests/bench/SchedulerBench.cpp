// The headless scheduler alone: a 15 ms timer thread signalling a frame event, and a main thread
// that waits for it and drains its queue, as the shell's loop does. Frames per CPU second.
#include <benchmark/benchmark.h>
#include <windows.h>

#include "testing.h"

namespace {

namespace vt = vemora::testing;

HANDLE frameEvent;

void CALLBACK SignalFrame(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) { SetEvent(frameEvent); }

void SchedulerEmptyFrames(benchmark::State& state) {
  std::int64_t frames = 0;
  for (auto _ : state) {
    vt::HeadlessOptions options;
    options.timeLimitMs = 0;
    vt::UseHeadlessHost(options);
    frameEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    UINT timer = timeSetEvent(15, 0, SignalFrame, 0, TIME_PERIODIC);
    for (std::int64_t i = 0; i < state.range(0); ++i) {
      if (MsgWaitForMultipleObjects(1, &frameEvent, FALSE, 250, QS_ALLINPUT) == WAIT_OBJECT_0) ++frames;
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    timeKillEvent(timer);
    CloseHandle(frameEvent);
    vt::ResetHost();
  }
  state.counters["frames_per_cpu_s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(SchedulerEmptyFrames)->Arg(20000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace
