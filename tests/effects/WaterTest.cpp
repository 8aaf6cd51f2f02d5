// Scene 10: only the disc (with one pixel more after an odd run) reaches the display, and the run
// table stays inside the screen whatever the background.
#include <gtest/gtest.h>

#include <vector>

#include "EffectTest.h"
#include "assets/Assets.h"
#include "effects/Fx_water.h"
#include "effects/Pcx.h"

using namespace fxtest;

namespace {

// The pixels copied each frame: the background's key-coloured runs in rows 1 to 478, each odd run
// with the pixel after it.
std::vector<bool> CopiedPixels() {
  uint16_t colours[256];
  const Asset asset = WaterBackgroundImage();
  uint8_t* pixels = PcxDecodeColours(asset.data, asset.size, kW, kH, colours);
  std::vector<bool> copied(kW * kH);
  for (int i = kW, run = 0; i <= kW * (kH - 1); ++i) {
    const bool water = i < kW * (kH - 1) && colours[pixels[i]] == keyColour;
    if (water) copied[i] = true;
    if (!water && run % 2) copied[i] = true;
    run = water ? run + 1 : 0;
  }
  delete[] pixels;
  return copied;
}

class Water : public ::testing::TestWithParam<int> {};

TEST_P(Water, OnlyTheDiscReachesTheDisplayOverTheStartPicture) {
  const int mode = GetParam();
  scenetest::SceneStage stage(mode);
  ASSERT_TRUE(stage.Ready());
  vt::KeepPresentedFrames(1);
  stage.Enter(10);
  const vt::Picture start = stage.Presented();
  const std::vector<bool> copied = CopiedPixels();
  int discPixels = 0;
  for (bool c : copied) discPixels += c;
  EXPECT_GT(discPixels, 100000);
  for (int frame = 0; frame < 12; ++frame) {
    stage.Frame(1);
    const vt::Picture shown = stage.Presented();
    int misses = 0;
    for (int i = 0; i < kW * kH; ++i)
      misses += copied[i] ? Packed(shown.pixels[i], mode) != vscreen[i] : shown.pixels[i] != start.pixels[i];
    ASSERT_EQ(misses, 0) << frame;
  }
}

INSTANTIATE_TEST_SUITE_P(Effects, Water, ::testing::Values(0, 1));

TEST(Water, RunTableStopsAt960AndNeverReachesTheEdgeRows) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  stage.Enter(10);
  const vt::Picture start = stage.Presented();
  const uint16_t key = static_cast<uint16_t>(keyColour);
  std::vector<uint16_t> many(kW * kH, 0);
  for (int x = 0; x < kW; ++x) many[x] = many[(kH - 1) * kW + x] = key;
  for (int n = 0; n < 2000; ++n) many[2 * kW + 4 * n] = key;  // 2000 runs of one pixel, rows 2 to 14
  EXPECT_EQ(BuildWaterRuns(many.data()), 960);
  for (int frame = 0; frame < 3; ++frame) stage.Frame(1);
  vt::Picture shown = stage.Presented();
  int edgeChanged = 0;
  for (int x = 0; x < kW; ++x) edgeChanged += shown.at(x, 0) != start.at(x, 0) || shown.at(x, kH - 1) != start.at(x, kH - 1);
  EXPECT_EQ(edgeChanged, 0);

  // An odd run ending at the last pixel of row 478: its extra pixel is the first of row 479.
  std::vector<uint16_t> last(kW * kH, 0);
  for (int i = (kH - 1) * kW - 1; i < kW * kH; ++i) last[i] = key;
  EXPECT_EQ(BuildWaterRuns(last.data()), 1);
  vscreen[(kH - 1) * kW] = 0x1234;
  stage.Frame(1);
  shown = stage.Presented();
  EXPECT_EQ(Packed(shown.at(0, kH - 1), 0), 0x1234);
  EXPECT_EQ(shown.at(1, kH - 1), start.at(1, kH - 1));
}

}  // namespace
