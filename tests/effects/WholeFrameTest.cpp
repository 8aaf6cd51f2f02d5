// What every effect shares: frames pinned at chosen moments, the surface's own pitch, and a start
// that could not allocate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "EffectTest.h"
#include "app/Random.h"
#include "assets/Assets.h"
#include "effects/Font.h"
#include "effects/Fx_water.h"
#include "effects/Pcx.h"

using namespace fxtest;

namespace {
std::size_t failingSize = 0;
}

// The effects allocate without exceptions; one block size can be made to fail.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (size == failingSize) return nullptr;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

namespace {

// Scenes 6 to 13 in turn from a fixed seed; each hash is of the scene's last presented frame.
class Pinned : public ::testing::TestWithParam<int> {};

TEST_P(Pinned, FramesOfEveryEffect) {
  const int mode = GetParam();
  const uint64_t expected[2][8] = {
      {18101484906620837648u, 8346022332761441229u, 5681910816049204386u, 10532130682212275270u,
       5405030163873359177u, 17209825890730834773u, 11293498028758109856u, 5510171009643645362u},
      {12298031042799097104u, 1161752153469359565u, 15080587900097630370u, 7368495099761614918u,
       1755882256252970726u, 11165561753818175573u, 11293498028758109856u, 458932902728544690u},
  };
  scenetest::SceneStage stage(mode);
  ASSERT_TRUE(stage.Ready());
  SeedRandom(2024);
  RestoreGreetingOrder();
  waterAngle = 0;
  for (int scene = 6; scene <= 13; ++scene) {
    stage.Enter(scene);
    for (int n = 0; n < 40; ++n) stage.Frame(1 + n % 7);
    EXPECT_EQ(Hash(stage.Presented()), expected[mode][scene - 6]) << "scene " << scene;
  }
}

INSTANTIATE_TEST_SUITE_P(Effects, Pinned, ::testing::Values(0, 1));

TEST(Pictures, OnlyTheSizeAnEffectReliesOnIsTaken) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  const Asset texture = RotoTextureImage();
  uint16_t colours[256] = {};
  uint8_t* pixels = PcxDecodeColours(texture.data, texture.size, 256, 256, colours);
  ASSERT_NE(pixels, nullptr);
  delete[] pixels;
  EXPECT_EQ(PcxDecodeColours(texture.data, texture.size, 640, 480, colours), nullptr);
  EXPECT_EQ(PcxDecodeColours(texture.data, texture.size, 256, 255, colours), nullptr);
  EXPECT_EQ(PcxDecodeColours(texture.data, 100, 256, 256, colours), nullptr);  // no whole header
  // The palette came out in display colours: the last entry read from the file, converted.
  const uint8_t* rgb = texture.data + texture.size - 3;
  EXPECT_EQ(colours[255], Colour(rgb[0], rgb[1], rgb[2], 0));
}

// A single overlay holds the frame where the scene wrote it.
vt::Picture SingleSurfaceRun(int scene, LONG pitch, int* gapChanged) {
  vt::DirectDrawFaults faults;
  faults.surfacePitch = pitch;
  faults.refuseOverlays = 4;
  scenetest::SceneStage stage(1, faults);
  if (!stage.Ready()) return {};
  const LockedSurface before = LockBackSurface();
  std::memset(before.pixels, 0xAB, static_cast<std::size_t>(before.pitch) * kH);
  backSurface->UnlockSurface();
  SeedRandom(1);
  waterAngle = 0;
  stage.Enter(scene);
  for (int n = 0; n < 6; ++n) stage.Frame(2);
  const LockedSurface after = LockBackSurface();
  *gapChanged = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = kW * 2; x < after.pitch; ++x) *gapChanged += after.pixels[y * after.pitch + x] != 0xAB;
  backSurface->UnlockSurface();
  return stage.Presented();
}

TEST(WholeFrame, WiderPitchGivesTheSamePictureAndLeavesTheBytesBetweenRowsAlone) {
  for (int scene : {8, 10}) {
    int gap = -1, unused = -1;
    const vt::Picture wide = SingleSurfaceRun(scene, 2048, &gap);
    const vt::Picture natural = SingleSurfaceRun(scene, 0, &unused);
    ASSERT_EQ(wide.pixels.size(), std::size_t{kW * kH}) << scene;
    EXPECT_EQ(gap, 0) << scene;
    EXPECT_TRUE(wide.pixels == natural.pixels) << scene;
  }
}

// A start that could not allocate leaves the scene black, and its frames still run.
class FailedStart : public ::testing::TestWithParam<std::pair<int, std::size_t>> {};

TEST_P(FailedStart, ShowsBlackFrames) {
  const auto [scene, blockSize] = GetParam();
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  stage.Enter(6);
  for (int n = 0; n < 3; ++n) stage.Frame(1);  // every buffer of the chain holds a picture
  failingSize = blockSize;
  stage.Enter(scene);
  failingSize = 0;
  for (int n = 0; n < 3; ++n) {
    stage.Frame(1);
    int lit = 0;
    for (uint32_t p : stage.Presented().pixels) lit += p != 0;
    EXPECT_EQ(lit, 0) << scene << " frame " << n;
  }
}

// The heat block with its guard, the water background's display copy, the hit counters.
INSTANTIATE_TEST_SUITE_P(Effects, FailedStart,
                         ::testing::Values(std::make_pair(8, std::size_t{64 + 2 * kW * kH}),
                                           std::make_pair(10, std::size_t{2 * kW * kH}),
                                           std::make_pair(12, std::size_t{kW * kH})));

}  // namespace
