// The headless main loop with an empty scene: frames per CPU second of the whole process.
#include <benchmark/benchmark.h>

#include "app/Config.h"
#include "app/Myform.h"
#include "testing.h"

namespace {

namespace vt = vemora::testing;

int64_t frames = 0;

void ShellMainLoop(benchmark::State& state) {
  const SceneOps saved = sceneTable[0];
  sceneTable[0] = SceneOps{nullptr, [](int) {
                             ++frames;
                             return false;
                           },
                           nullptr, nullptr, -1, 0, false};
  const int framesPerRun = static_cast<int>(state.range(0));
  frames = 0;
  for (auto _ : state) {
    vt::HeadlessOptions options;
    options.timeLimitMs = 0;
    vt::UseHeadlessHost(options);
    vt::AnswerNextDialog({vt::DialogStep::Press(108)});
    vt::KeyDown(static_cast<uint64_t>(framesPerRun) * 15 + 7, VK_ESCAPE);
    const int rc = WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
    vt::ResetHost();
    if (rc != 0) state.SkipWithError("the show did not end normally");
  }
  sceneTable[0] = saved;
  state.counters["frames_per_cpu_s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  state.counters["frames"] = static_cast<double>(frames);
}
BENCHMARK(ShellMainLoop)->Arg(2000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace
