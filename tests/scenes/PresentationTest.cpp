// The opening presentation, the fading pictures and the scaled draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "Frames.h"
#include "SceneStage.h"
#include "effects/Font.h"

namespace {

using scenetest::Grey;
using scenetest::Screen;
using scenetest::Shows;

class Presentation : public scenetest::InBothModes {};

TEST_P(Presentation, OneLongUpdateSettlesBothLogosAndMovesTheWordsAtOnce) {
  scenetest::SceneStage stage(Mode());
  ASSERT_TRUE(stage.Ready());
  stage.Enter(2);
  stage.Frame(1);
  stage.Frame(300);
  // Both logos at half size and level 32 around (320, 150) and (320, 330); "A" moved from 579 to
  // 279 (level 27), "Presentation" to 300 (level 10), "And" between them (level 18).
  Screen expected(640 * 480, 0);
  for (auto [logo, top] : {std::pair{scenetest::Decode(UpperLogoImage()), 115}, {scenetest::Decode(LowerLogoImage()), 295}})
    for (int y = 0; y < 69; ++y)
      for (int x = 0; x < 256; ++x) expected[(top + y) * 640 + 192 + x] = logo.At(2 * x, 2 * y, Mode(), 32);
  textTarget = expected.data();
  for (auto [x, y, text, level] : {std::tuple{279, 32, "A", 27}, {300, 400, "Presentation", 10}, {280, 216, "And", 18}}) {
    textColour = Grey(level, Mode());
    DrawText(x, y, text);
  }
  textTarget = vscreen;
  EXPECT_TRUE(Shows(stage.Presented(), expected, Mode()));
}

INSTANTIATE_TEST_SUITE_P(Modes, Presentation, ::testing::Values(0, 1), scenetest::ModeName);

TEST(PresentationScene, EndsBlackAtUpdate756AtOneTickPerFrameAndStartsAfreshTheSecondTime) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  for (int pass = 0; pass < 2; ++pass) {
    stage.Enter(2);
    int updates = 0;
    do {
      stage.Frame(1);
    } while (++updates < 2000 && !sceneDone);
    EXPECT_EQ(updates, 756) << "pass " << pass;
    EXPECT_TRUE(Shows(stage.Presented(), Screen(640 * 480, 0), 0)) << "pass " << pass;
  }
}

// --- Fading pictures

// A 64 x 32 picture in white (index 1), so that anything left behind shows.
std::vector<uint8_t> WhitePcx() {
  std::vector<uint8_t> data(128, 0);
  data[8] = 63;
  data[10] = 31;
  for (int run = 0; run < 32; ++run) data.insert(data.end(), {0xFF, 1});  // 32 runs of 63
  data.insert(data.end(), {0xE0, 1, 0x0C});                               // and one of 32
  for (int i = 0; i < 768; ++i) data.push_back(i / 3 == 1 ? 255 : 0);
  return data;
}

// Pixels a scaled draw covers along one axis, walking the source as it advances: a truncated step
// covers one pixel more than the size asked for.
int Covered(int size, int drawn) {
  const int step = size * 65536 / drawn;
  int fraction = 0, covered = 0;
  for (int remaining = size;; remaining -= fraction >> 16, fraction &= 0xFFFF) {
    ++covered;
    fraction += step;
    if (remaining <= fraction >> 16) return covered;
  }
}

TEST(FadePicture, EveryFrameOfTheBounceShowsOnlyTheCurrentSize) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  std::fill(vscreen, vscreen + 640 * 480, 0);
  const std::vector<uint8_t> data = WhitePcx();
  FadePicture picture;
  FadePictureCreate(data.data(), static_cast<int32_t>(data.size()), picture);
  picture.spanX = 640;
  picture.spanY = 480;
  picture.rateFactor = 1.0f;
  int shrinking = 0;
  for (int tick = 1; tick <= 273; ++tick) {
    FadePictureAnimate(picture, 1);
    FadePictureDraw(picture);
    shrinking += picture.drawWidth < picture.lastWidth;
    const int w = picture.drawWidth, h = picture.drawHeight, left = (640 - w) / 2, top = (480 - h) / 2;
    const int right = w > 0 ? left + Covered(64, w) : left, bottom = h > 0 ? top + Covered(32, h) : top;
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x)
        wrong += vscreen[y * 640 + x] != (x >= left && x < right && y >= top && y < bottom ? picture.currentPalette[1] : 0);
    ASSERT_EQ(wrong, 0) << "tick " << tick << ", " << w << " x " << h;
  }
  EXPECT_GT(shrinking, 20);
  EXPECT_EQ(picture.drawWidth, 32);  // settled at half size and half brightness: 255 * 32 / 63
  EXPECT_EQ(picture.drawHeight, 16);
  EXPECT_EQ(picture.currentPalette[1], scenetest::Colour(129, 129, 129, 0));
  FadePictureRelease(picture);
}

TEST(FadePicture, PicturesThatCannotBeUsedAreNeverDrawnButKeepTheirTime) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  std::fill(vscreen, vscreen + 640 * 480, 0x1234);
  const std::vector<uint8_t> damaged(100, 0xC1);  // shorter than a header
  FadePicture picture;
  FadePictureCreate(damaged.data(), static_cast<int32_t>(damaged.size()), picture);
  EXPECT_TRUE(FadePictureAnimate(picture, 1000));  // the bounce ends in this call
  EXPECT_FALSE(FadePictureAnimate(picture, 100));
  EXPECT_TRUE(FadePictureAnimate(picture, 400));
  EXPECT_TRUE(picture.finished);
  FadePictureDraw(picture);
  PresentFrame();
  EXPECT_TRUE(Shows(stage.Presented(), Screen(640 * 480, 0x1234), 0));
}

TEST(DrawScaled, CutsAtTheScreenEdgesAndNeverMagnifiesBeyondEightThirds) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  // A 640 x 480 picture whose colours are raw pixel values, so the sampling shows directly.
  std::vector<uint8_t> pixels(640 * 480);
  for (int i = 0; i < 640 * 480; ++i) pixels[i] = static_cast<uint8_t>(i % 640 * 7 + i / 640 * 3);
  std::vector<uint16_t> colours(256);
  for (int i = 0; i < 256; ++i) colours[i] = static_cast<uint16_t>(0x8000 | i);
  FadePicture picture{};
  picture.width = 640;
  picture.height = 480;
  picture.pixels = pixels.data();
  picture.currentPalette = colours.data();
  auto source = [&](int x, int y, int step) { return colours[pixels[(y * step >> 16) * 640 + (x * step >> 16)]]; };

  std::fill(vscreen, vscreen + 640 * 480, 0);
  DrawScaled(0, 0, 0x6000, 0x7000, picture);
  DrawScaled(0, 0, 0x7000, 0x6000, picture);
  DrawScaled(640, 0, 0x10000, 0x10000, picture);
  DrawScaled(0, 480, 0x10000, 0x10000, picture);
  // Just above the limit a 640-pixel picture would need 1706 columns: it fills the screen exactly.
  DrawScaled(0, 0, 0x6001, 0x6001, picture);
  Screen expected(640 * 480);
  for (int i = 0; i < 640 * 480; ++i) expected[i] = source(i % 640, i / 640, 0x6001);
  // At full size from (600, 470) 40 x 10 pixels are on the screen.
  DrawScaled(600, 470, 0x10000, 0x10000, picture);
  for (int y = 470; y < 480; ++y)
    for (int x = 600; x < 640; ++x) expected[y * 640 + x] = source(x - 600, y - 470, 0x10000);
  // 640 is off the screen, so the first rectangle clears nothing; the second ends at the last column.
  ClearRect(0, 0, 640, 10);
  ClearRect(10, 20, 639, 22);
  for (int y = 20; y < 22; ++y) std::fill(&expected[y * 640 + 10], &expected[y * 640 + 639], 0);
  PresentFrame();
  EXPECT_TRUE(Shows(stage.Presented(), expected, 0));
}

}  // namespace
