// One frame of the scenes of the show's first half: update and render into the virtual screen,
// without the presentation, on the headless display.
#include <benchmark/benchmark.h>

#include "SceneStage.h"
#include "app/Random.h"

namespace {

// `cycle` frames make one pass of the effect's drawing before it is entered again (the title and
// the bars draw nothing once complete); 0: the scene runs on, or until it reports the end.
void SceneFrame(benchmark::State& state, int scene, int cycle) {
  scenetest::SceneStage stage(0);
  if (!stage.Ready()) {
    state.SkipWithError("display set-up failed");
    return;
  }
  SeedRandom(1);
  stage.Enter(scene);
  int frame = 0;
  for (auto _ : state) {
    stage.Draw(1);
    if (sceneDone || ++frame == cycle) {
      state.PauseTiming();
      stage.Enter(scene);
      frame = 0;
      state.ResumeTiming();
    }
  }
}

BENCHMARK_CAPTURE(SceneFrame, Presentation, 2, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(SceneFrame, TitleReveal, 3, 81)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(SceneFrame, ClosingBars, 4, 31)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(SceneFrame, Stars, 5, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(SceneFrame, Credits, 14, 0)->Unit(benchmark::kMicrosecond);

}  // namespace
