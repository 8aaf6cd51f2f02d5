// Heat flow (scenes 8, 9, 11 and 13): the passes against plain four-tap means in every layout and
// direction, the bob's stamp, the greeting words, the palettes at heat 0 and a failed lock.
#include <gtest/gtest.h>

#include <vector>

#include "EffectTest.h"
#include "app/Random.h"
#include "effects/Fx_blur.h"

using namespace fxtest;

namespace {

constexpr int kHeat = kW * kH;
using Heat = std::vector<uint8_t>;

// What a pass writes, from a copy of the source; a read before the source gives 0.
void PlainPass(Heat& target, const Heat& source, int start, int rows, int direction) {
  static const int kOffsets[8] = {-640, -641, -1, 639, 640, 641, 1, -639};
  const int c = kOffsets[direction];
  auto s = [&](int i) { return i < 0 ? 0 : source[i]; };
  for (int r = 0; r < rows; ++r)
    for (int p = start + r * kW + 1; p < start + r * kW + 639; ++p)
      target[p] = static_cast<uint8_t>((s(p + c - 1) + s(p + c) + s(p + c + 1) + s(p)) / 4);
}

// One frame whose update is checked against plain passes (one upward pass, or the 58 bands).
// Returns how many target bytes differ from them; each must be a word's 255.
int CheckedFrame(int ticks, bool bands) {
  Heat expected(heatTarget, heatTarget + kHeat);
  const int base = flowDirection;
  UpdateScene(ticks);
  const Heat source(heatSource, heatSource + kHeat);
  if (!bands) PlainPass(expected, source, 8, 464, 4);
  for (int k = 0; bands && k < 58; ++k) PlainPass(expected, source, 640 + k * 5120, 8, (base + k) & 7);
  if (bands && base == 1) {
    EXPECT_EQ(heatTarget[641], (0 + source[0] + source[1] + source[641]) / 4);
  }
  int words = 0;
  for (int i = 0; i < kHeat; ++i) {
    if (heatTarget[i] == expected[i]) continue;
    ++words;
    EXPECT_EQ(heatTarget[i], 255) << i;
  }
  RenderScene();
  PresentFrame();
  return words;
}

TEST(Flow, PassesAreFourTapMeansInEveryLayoutAndDirection) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  SeedRandom(11);
  stage.Enter(8);
  for (int n = 0; n < 4; ++n) EXPECT_EQ(CheckedFrame(3, false), 0);
  stage.Enter(9);  // base directions 1 to 7 and 0 again, each in both halves of the block
  for (int n = 0; n < 32; ++n) EXPECT_EQ(CheckedFrame(3, true), 0);
  stage.Enter(11);
  for (int n = 0; n < 8; ++n) EXPECT_EQ(CheckedFrame(2, true), 0);
}

TEST(Flow, RandomBobAtTheLimitsStampsNineByNineInside) {
  // A seed whose first two values put the bob at x <= 10 and y >= 460 (clamped to 10 and 460).
  unsigned seed = 0;
  for (unsigned s = 1; !seed; ++s) {
    SeedRandom(s);
    const int x = Random() % 640, y = Random() % 480;
    if (x <= 10 && y >= 460) seed = s;
  }
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  stage.Enter(11);
  SeedRandom(seed);
  UpdateScene(1);
  int stamped = 0, outside = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const bool inside = x >= 6 && x <= 14 && y >= 456 && y <= 464;
      stamped += inside && heatSource[y * kW + x] == 254;
      outside += !inside && heatSource[y * kW + x] != 0;
    }
  EXPECT_EQ(stamped, 81);
  EXPECT_EQ(outside, 0);
}

TEST(Flow, WordsComeOneAtATimeEvery35TicksAndStopAfterTheLast) {
  scenetest::SceneStage stage(1);
  ASSERT_TRUE(stage.Ready());
  SeedRandom(5);
  stage.Enter(13);
  for (int n = 1; n < 35; ++n) EXPECT_EQ(CheckedFrame(1, true), 0) << n;
  EXPECT_GT(CheckedFrame(1, true), 100);
  for (int word = 1; word < 23; ++word) EXPECT_GT(CheckedFrame(1000, true), 100) << word;
  EXPECT_TRUE(FlowUpdateWords(1000));
  EXPECT_TRUE(FlowUpdateWords(1));
  EXPECT_EQ(CheckedFrame(1000, true), 0);
}

// Rows 465 to 479 are never written: they show heat 0 of each palette mode.
class FlowPalette : public ::testing::TestWithParam<int> {};

TEST_P(FlowPalette, HeatZeroIsBlackInFireDarkBlueInSeaAndBlendsDownTheScreen) {
  const int mode = GetParam();
  scenetest::SceneStage stage(mode);
  ASSERT_TRUE(stage.Ready());
  struct Case {
    int scene;
    uint16_t row470, row479;
  } cases[] = {
      {8, 0, 0},
      {11, Colour(0, 1, 129, mode), Colour(0, 1, 129, mode)},
      {13, Colour(0, 470 * 1 / 480, 470 * 129 / 480, mode), Colour(0, 479 * 1 / 480, 479 * 129 / 480, mode)},
  };
  for (const Case& c : cases) {
    stage.Enter(c.scene);
    stage.Frame(1);
    const vt::Picture picture = stage.Presented();
    EXPECT_EQ(Packed(picture.at(0, 470), mode), c.row470) << c.scene;
    EXPECT_EQ(Packed(picture.at(320, 479), mode), c.row479) << c.scene;
  }
}

INSTANTIATE_TEST_SUITE_P(Effects, FlowPalette, ::testing::Values(0, 1));

TEST(Flow, FailedLockShowsNothingButTheBuffersStillSwap) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  stage.Enter(8);
  for (int n = 0; n < 3; ++n) stage.Frame(2);
  vt::DirectDrawFaults faults;
  faults.loseAtLock = 1;
  faults.refuseRestores = 1;
  vt::InjectDirectDrawFaults(faults);
  const uint8_t* shown = heatTarget;
  const auto presented = vt::PresentedFrameCount();
  stage.Frame(2);
  EXPECT_EQ(vt::PresentedFrameCount(), presented);
  EXPECT_EQ(heatSource, shown);
  stage.Frame(2);
  EXPECT_EQ(vt::PresentedFrameCount(), presented + 1);
}

}  // namespace
