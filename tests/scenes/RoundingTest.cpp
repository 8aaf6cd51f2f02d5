// The scenes that compute in floating point draw the same frames whatever the FPU's rounding
// mode, so one set of frames holds for every target.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "SceneStage.h"
#include "app/Random.h"
#include "effects/Font.h"
#include "effects/Fx_water.h"

namespace {

constexpr int kFramesPerScene = 100;
constexpr int kSampleEvery = 5;  // a raw operation moves far more frames than it takes to notice
constexpr int kScenes[] = {2, 5, 6, 7, 8, 9, 10, 11, 13, 14};  // in show order: 7 and 9 go on from 6 and 8

uint64_t Hash(const std::vector<uint32_t>& pixels) {
  uint64_t h = 14695981039346656037ull;
  for (uint32_t p : pixels) h = (h ^ p) * 1099511628211ull;
  return h;
}

// One frame in five of each float scene, under `mode`.
std::vector<uint64_t> FramesUnder(int mode) {
  scenetest::SceneStage stage(0);
  if (!stage.Ready()) return {};
  std::fesetround(mode);
  SeedRandom(7);
  RestoreGreetingOrder();
  waterAngle = 0;
  std::vector<uint64_t> hashes;
  for (int scene : kScenes) {
    stage.Enter(scene);
    for (int n = 0; n < kFramesPerScene; ++n) {
      stage.Frame(1 + n % 7);
      if (n % kSampleEvery == 0) hashes.push_back(Hash(stage.Presented().pixels));
    }
  }
  return hashes;
}

TEST(RoundingMode, FloatScenesDrawTheSameFramesTowardZeroAndToNearest) {
  const std::vector<uint64_t> towardZero = FramesUnder(FE_TOWARDZERO);
  const std::vector<uint64_t> toNearest = FramesUnder(FE_TONEAREST);
  constexpr size_t kSamples = kFramesPerScene / kSampleEvery;
  ASSERT_EQ(towardZero.size(), std::size(kScenes) * kSamples);
  ASSERT_EQ(toNearest.size(), towardZero.size());
  std::string differing;  // "scene: frames" of the scenes that differ
  for (size_t s = 0; s < std::size(kScenes); ++s) {
    int count = 0;
    for (size_t i = s * kSamples; i < (s + 1) * kSamples; ++i) count += towardZero[i] != toNearest[i];
    if (count) differing += " " + std::to_string(kScenes[s]) + ": " + std::to_string(count);
  }
  EXPECT_EQ(differing, "") << "sampled frames that differ, by scene";
}

}  // namespace
