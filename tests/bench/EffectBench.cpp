// One frame of each effect in steady state: the scene's update with one tick, then its render
// (into the virtual screen, or straight into the back surface), on the headless full-screen display.
#include <benchmark/benchmark.h>

#include "SceneStage.h"
#include "app/Random.h"

namespace {

void EffectFrame(benchmark::State& state) {
  scenetest::SceneStage stage(0);
  if (!stage.Ready()) {
    state.SkipWithError("display set-up failed");
    return;
  }
  SeedRandom(1);
  const int scene = static_cast<int>(state.range(0));
  if (scene == 7 || scene == 9) stage.Enter(scene - 1);  // these two go on with the scene before
  stage.Enter(scene);
  for (int n = 0; n < 50; ++n) stage.Frame(1);
  for (auto _ : state) {
    UpdateScene(1);
    RenderScene();
  }
}

// 6 rotozoom, 7 rotozoom blend, 8 flow path, 9 flow bands, 10 water, 11 flow random bob,
// 12 shade bobs, 13 flow words.
BENCHMARK(EffectFrame)->ArgName("scene")->DenseRange(6, 13)->Unit(benchmark::kMicrosecond);

}  // namespace
