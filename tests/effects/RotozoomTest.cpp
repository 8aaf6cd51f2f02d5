// Scenes 6 and 7: the frame picture around the window stays, and scene 7 blends the continued
// animation into the last frame, field by field.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "EffectTest.h"
#include "effects/Fx_rotozoom.h"

using namespace fxtest;

namespace {

bool InWindow(int x, int y) { return x >= 171 && x < 171 + 309 && y >= 122 && y < 122 + 236; }

class Rotozoom : public ::testing::TestWithParam<int> {};

TEST_P(Rotozoom, FrameStaysAroundTheWindowAndScene7BlendsTheContinuedAnimation) {
  const int mode = GetParam();
  scenetest::SceneStage stage(mode);
  ASSERT_TRUE(stage.Ready());
  stage.Enter(6);
  stage.Frame(1);
  const vt::Picture first = stage.Presented();
  for (int n = 0; n < 60; ++n) stage.Frame(9);

  stage.Enter(7);
  const std::vector<uint16_t> old(vscreen, vscreen + kW * kH);
  UpdateScene(9);
  RotozoomRender();  // the opaque picture of the same moment, for comparison
  const std::vector<uint16_t> fresh(vscreen, vscreen + kW * kH);
  std::copy(old.begin(), old.end(), vscreen);
  RenderScene();
  PresentFrame();
  const vt::Picture blended = stage.Presented();

  const uint16_t mask = mode == 0 ? 0xF7DF : 0x7BDF;  // without the lowest bit of each field
  int outsideChanged = 0, blendMisses = 0, moved = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const int i = y * kW + x;
      if (!InWindow(x, y)) {
        outsideChanged += blended.at(x, y) != first.at(x, y);
        continue;
      }
      const uint16_t expected = static_cast<uint16_t>(((fresh[i] & mask) >> 1) + ((old[i] & mask) >> 1));
      blendMisses += Packed(blended.at(x, y), mode) != expected;
      moved += fresh[i] != old[i];
    }
  EXPECT_EQ(outsideChanged, 0);
  EXPECT_EQ(blendMisses, 0);
  EXPECT_GT(moved, 309 * 236 / 2);

  // Scene 7 went on from scene 6's time: a fresh start drawn at the same total time matches.
  stage.Enter(6);
  stage.Frame(1 + 60 * 9 + 9);
  int jumps = 0;
  for (int y = 122; y < 122 + 236; ++y)
    for (int x = 171; x < 171 + 309; ++x) jumps += vscreen[y * kW + x] != fresh[y * kW + x];
  EXPECT_EQ(jumps, 0);
}

INSTANTIATE_TEST_SUITE_P(Effects, Rotozoom, ::testing::Values(0, 1));

}  // namespace
