// The scenes that compute in floating point draw the same frames whatever the FPU's rounding
// mode, so one set of frames holds for every target.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <vector>

#include "SceneStage.h"
#include "app/Random.h"
#include "effects/Font.h"
#include "effects/Fx_water.h"

namespace {

constexpr int kFramesPerScene = 100;

uint64_t Hash(const std::vector<uint32_t>& pixels) {
  uint64_t h = 14695981039346656037ull;
  for (uint32_t p : pixels) h = (h ^ p) * 1099511628211ull;
  return h;
}

// Every frame of the float scenes in show order (7 and 9 go on from 6 and 8), under `mode`.
std::vector<uint64_t> FramesUnder(int mode) {
  scenetest::SceneStage stage(0);
  if (!stage.Ready()) return {};
  std::fesetround(mode);
  SeedRandom(7);
  RestoreGreetingOrder();
  waterAngle = 0;
  std::vector<uint64_t> hashes;
  for (int scene : {2, 5, 6, 7, 8, 9, 10, 11, 13, 14}) {
    stage.Enter(scene);
    for (int n = 0; n < kFramesPerScene; ++n) {
      stage.Frame(1 + n % 7);
      hashes.push_back(Hash(stage.Presented().pixels));
    }
  }
  return hashes;
}

TEST(RoundingMode, FloatScenesDrawTheSameFramesTowardZeroAndToNearest) {
  const std::vector<uint64_t> towardZero = FramesUnder(FE_TOWARDZERO);
  const std::vector<uint64_t> toNearest = FramesUnder(FE_TONEAREST);
  ASSERT_EQ(towardZero.size(), 10u * kFramesPerScene);
  ASSERT_EQ(toNearest.size(), towardZero.size());
  int differing = 0, first = -1;
  for (size_t i = 0; i < towardZero.size(); ++i)
    if (towardZero[i] != toNearest[i] && differing++ == 0) first = static_cast<int>(i);
  EXPECT_EQ(differing, 0) << "first in the scene at position " << first / kFramesPerScene << ", frame "
                          << first % kFramesPerScene;
}

}  // namespace
