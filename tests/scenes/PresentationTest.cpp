// The opening presentation, the fading pictures and the scaled draw, seen on presented frames.
#include <gtest/gtest.h>

#include <vector>

#include "Frames.h"
#include "SceneStage.h"
#include "effects/Font.h"
#include "effects/Pcx.h"

namespace {

using scenetest::Grey;
using scenetest::SameFrame;
using scenetest::Screen;
using scenetest::ShownFrame;

// The font's own drawing, aimed at a reference screen.
void Word(Screen& screen, uint32_t x, int32_t y, const char* text, uint16_t colour) {
  void* savedTarget = textTarget;
  const uint16_t savedColour = textColour;
  textTarget = screen.data();
  textColour = colour;
  DrawText(x, y, text);
  textTarget = savedTarget;
  textColour = savedColour;
}

// A 512 x 138 logo settled at half size around (320, centreY), at fade level 32.
void HalfSizeLogo(Screen& screen, const scenetest::Image& logo, int centreY, int mode) {
  const int top = (2 * centreY - 69) / 2;
  for (int y = 0; y < 69; ++y)
    for (int x = 0; x < 256; ++x) screen[(top + y) * 640 + 192 + x] = logo.At(2 * x, 2 * y, mode, 32);
}

class Presentation : public scenetest::InBothModes {};

TEST_P(Presentation, FirstFrameShowsOnlyTheTopWordAndTheMiddleWordInDarkGrey) {
  scenetest::SceneStage stage(Mode());
  ASSERT_TRUE(stage.Ready());
  std::fill(vscreen, vscreen + 640 * 480, 0x1234);  // the start clears the screen
  stage.Enter(2);
  stage.Frame(1);
  // "A" one pixel in from 580 (level 6); the logo is 4 pixels wide and black; "And" at (6 + 0) / 2.
  Screen expected = scenetest::Filled(0);
  Word(expected, 579, 32, "A", Grey(6, Mode()));
  Word(expected, 280, 216, "And", Grey(3, Mode()));
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(expected, Mode())));
}

TEST_P(Presentation, UpperLogoSettlesAtHalfSizeAndHalfBrightnessWhenTheBounceEnds) {
  scenetest::SceneStage stage(Mode());
  ASSERT_TRUE(stage.Ready());
  stage.Enter(2);
  for (int frame = 0; frame < 273; ++frame) stage.Frame(1);
  // Rows 80 to 215 hold nothing but the upper logo: every larger frame before must be erased.
  Screen expected = scenetest::Filled(0);
  HalfSizeLogo(expected, scenetest::Decode(UpperLogoImage()), 150, Mode());
  const vemora::testing::Picture shown = stage.Presented(), wanted = ShownFrame(expected, Mode());
  vemora::testing::Picture band, wantedBand;
  band.width = wantedBand.width = 640;
  band.height = wantedBand.height = 136;
  band.pixels.assign(shown.pixels.begin() + 80 * 640, shown.pixels.begin() + 216 * 640);
  wantedBand.pixels.assign(wanted.pixels.begin() + 80 * 640, wanted.pixels.begin() + 216 * 640);
  EXPECT_TRUE(SameFrame(band, wantedBand));
}

TEST_P(Presentation, OneLongUpdateSettlesBothLogosAndMovesTheWordsAtOnce) {
  scenetest::SceneStage stage(Mode());
  ASSERT_TRUE(stage.Ready());
  stage.Enter(2);
  stage.Frame(1);
  stage.Frame(300);
  // "A" at 279 (level 27) and its old place erased; "Presentation" at 300 (level 10); "And" between.
  Screen expected = scenetest::Filled(0);
  HalfSizeLogo(expected, scenetest::Decode(UpperLogoImage()), 150, Mode());
  HalfSizeLogo(expected, scenetest::Decode(LowerLogoImage()), 330, Mode());
  Word(expected, 279, 32, "A", Grey(27, Mode()));
  Word(expected, 300, 400, "Presentation", Grey(10, Mode()));
  Word(expected, 280, 216, "And", Grey(18, Mode()));
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(expected, Mode())));
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
      ++updates;
    } while (!sceneDone && updates < 2000);
    EXPECT_EQ(updates, 756) << "pass " << pass;
    EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(scenetest::Filled(0), 0))) << "pass " << pass;
  }
}

// --- The picture primitives

// A 64 x 32 PCX picture in one colour (index 1, white), so that any leftover shows.
std::vector<uint8_t> WhitePcx() {
  std::vector<uint8_t> data(128, 0);
  data[0] = 0x0A;
  data[1] = 5;
  data[2] = 1;
  data[3] = 8;
  data[8] = 63;
  data[10] = 31;
  for (int run = 0; run < 32; ++run) data.insert(data.end(), {0xFF, 1});  // 32 runs of 63 pixels
  data.insert(data.end(), {0xE0, 1, 0x0C});                               // the last 32
  for (int i = 0; i < 768; ++i) data.push_back(i / 3 == 1 ? 255 : 0);
  return data;
}

// Screen pixels a scaled draw covers along one axis, walked as the source advances: a truncated
// step may cover one pixel more than the size asked for.
int Covered(int size, int drawn) {
  const int step = size * 65536 / drawn;
  int fraction = 0, remaining = size;
  for (int covered = 1;; ++covered) {
    fraction += step;
    const int advance = fraction >> 16;
    fraction &= 0xFFFF;
    if (remaining <= advance) return covered;
    remaining -= advance;
  }
}

TEST(FadePicture, EveryFrameOfTheBounceShowsOnlyTheCurrentSize) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  std::fill(vscreen, vscreen + 640 * 480, 0);
  const std::vector<uint8_t> data = WhitePcx();
  FadePicture picture;
  FadePictureCreate(data.data(), static_cast<int32_t>(data.size()), picture);
  ASSERT_NE(picture.currentPalette, nullptr);
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
      for (int x = 0; x < 640; ++x) {
        const bool inside = x >= left && x < right && y >= top && y < bottom;
        wrong += vscreen[y * 640 + x] != (inside ? picture.currentPalette[1] : 0);
      }
    ASSERT_EQ(wrong, 0) << "tick " << tick << ", " << w << " x " << h;
  }
  EXPECT_GT(shrinking, 20);
  EXPECT_EQ(picture.drawWidth, 32);  // settled at half size and half brightness
  EXPECT_EQ(picture.drawHeight, 16);
  EXPECT_EQ(picture.currentPalette[1], scenetest::Colour(129, 129, 129, 0));  // 255 * 32 / 63
  FadePictureRelease(picture);
}

TEST(FadePicture, WithoutAPaletteIsNeverDrawnButStillRunsToItsEnd) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  std::fill(vscreen, vscreen + 640 * 480, 0x1234);
  const std::vector<uint8_t> damaged(100, 0xC1);  // shorter than a header
  FadePicture picture;
  FadePictureCreate(damaged.data(), static_cast<int32_t>(damaged.size()), picture);
  picture.spanX = 640;
  picture.spanY = 480;
  picture.rateFactor = 1.0f;
  EXPECT_EQ(picture.currentPalette, nullptr);
  EXPECT_TRUE(FadePictureAnimate(picture, 1000));  // the bounce ends in this call
  FadePictureDraw(picture);
  EXPECT_FALSE(FadePictureAnimate(picture, 100));
  EXPECT_FALSE(picture.finished);
  EXPECT_TRUE(FadePictureAnimate(picture, 400));
  EXPECT_TRUE(picture.finished);
  FadePictureDraw(picture);
  PresentFrame();
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(scenetest::Filled(0x1234), 0)));
  FadePictureRelease(picture);
}

TEST(FadePicture, OnlyPicturesOfTheSizeTheEffectReliesOnAreDecoded) {
  const Asset title = TitleImage();
  uint8_t *pixels = nullptr, *palette = nullptr;
  EXPECT_FALSE(PcxDecodeSized(title.data, title.size, 640, 480, &pixels, &palette));
  EXPECT_NE(pixels, nullptr);
  EXPECT_NE(palette, nullptr);
  delete[] pixels;
  delete[] palette;
  EXPECT_TRUE(PcxDecodeSized(title.data, title.size, 512, 138, &pixels, &palette));
  EXPECT_EQ(pixels, nullptr);
  EXPECT_EQ(palette, nullptr);
  std::vector<uint8_t> cut(title.data, title.data + 100);
  EXPECT_TRUE(PcxDecodeSized(cut.data(), static_cast<int32_t>(cut.size()), 640, 480, &pixels, &palette));
  EXPECT_EQ(pixels, nullptr);
}

TEST(DrawScaled, CutsAtTheScreenEdgesAndNeverMagnifiesBeyondEightThirds) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  // A 640 x 480 picture whose colours are raw pixel values, so the sampling shows directly.
  std::vector<uint8_t> pixels(640 * 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) pixels[y * 640 + x] = static_cast<uint8_t>(x * 7 + y * 3);
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
  DrawScaled(static_cast<uint32_t>(-1), 0, 0x10000, 0x10000, picture);
  PresentFrame();
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(scenetest::Filled(0), 0)));

  // Just above the limit a 640-pixel picture would need 1706 columns: it fills the screen exactly.
  DrawScaled(0, 0, 0x6001, 0x6001, picture);
  Screen expected(640 * 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) expected[y * 640 + x] = source(x, y, 0x6001);
  // At full size from (600, 470) only 40 x 10 pixels are on the screen.
  DrawScaled(600, 470, 0x10000, 0x10000, picture);
  for (int y = 470; y < 480; ++y)
    for (int x = 600; x < 640; ++x) expected[y * 640 + x] = source(x - 600, y - 470, 0x10000);
  // 640 is off the screen, so the first rectangle clears nothing; the second ends at the last column.
  ClearRect(0, 0, 640, 10);
  ClearRect(10, 20, 639, 22);
  for (int y = 20; y < 22; ++y)
    for (int x = 10; x < 639; ++x) expected[y * 640 + x] = 0;
  PresentFrame();
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(expected, 0)));
}

}  // namespace
