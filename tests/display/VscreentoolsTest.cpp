#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "display/Vscreentools.h"

namespace {

struct Format {
  const char* name;
  uint32_t red, green, blue;
  int32_t shifts[3], losses[3];
  uint16_t white, key;
};

const Format k565{"565", 0xF800, 0x07E0, 0x001F, {11, 5, 0}, {3, 2, 3}, 0xFFDF, 0xF81F};
const Format k555{"555", 0x7C00, 0x03E0, 0x001F, {10, 5, 0}, {3, 3, 3}, 0x7FFF, 0x7C1F};

class PixelFormat : public testing::TestWithParam<Format> {};

TEST_P(PixelFormat, ShiftsLossesGreyRampAndKeyColour) {
  const Format& f = GetParam();
  AnalyseMasks(f.red, f.green, f.blue);
  EXPECT_EQ(redShift, f.shifts[0]);
  EXPECT_EQ(greenShift, f.shifts[1]);
  EXPECT_EQ(blueShift, f.shifts[2]);
  EXPECT_EQ(redLoss, f.losses[0]);
  EXPECT_EQ(greenLoss, f.losses[1]);
  EXPECT_EQ(blueLoss, f.losses[2]);
  EXPECT_EQ(keyColour, f.key);
  EXPECT_EQ(greyRamp[0], 0);
  EXPECT_EQ(greyRamp[31], f.white);
  // Level i is the grey i * 8 on every channel.
  for (int i = 0; i < 32; ++i) {
    const uint32_t v = i * 8;
    const uint16_t expected = static_cast<uint16_t>(((v >> redLoss) << redShift) | ((v >> greenLoss) << greenShift) |
                                                    ((v >> blueLoss) << blueShift));
    EXPECT_EQ(greyRamp[i], expected) << "level " << i;
  }
}

TEST_P(PixelFormat, WhiteEntryGivesAllMaskBitsWhateverItsFourthByte) {
  const Format& f = GetParam();
  AnalyseMasks(f.red, f.green, f.blue);
  for (int fourth : {0, 0x5A, 0xFF}) {
    unsigned char entry[4] = {255, 255, 255, static_cast<unsigned char>(fourth)};
    ConvertPalette(entry, 1);
    uint16_t pixel;
    std::memcpy(&pixel, entry, 2);
    EXPECT_EQ(pixel, f.red | f.green | f.blue);
  }
}

INSTANTIATE_TEST_SUITE_P(Vscreen, PixelFormat, testing::Values(k565, k555),
                         [](const testing::TestParamInfo<Format>& info) { return std::string(info.param.name); });

TEST(MaskBits, CountsAndLowestBit) {
  EXPECT_EQ(MaskBits(0xF800).count, 5);
  EXPECT_EQ(MaskBits(0xF800).lowest, 11);
  EXPECT_EQ(MaskBits(0x07E0).count, 6);
  EXPECT_EQ(MaskBits(0x07E0).lowest, 5);
  EXPECT_EQ(MaskBits(0x001F).lowest, 0);
  // A zero mask: no bits, lowest 1; bit 31 is never examined.
  EXPECT_EQ(MaskBits(0).count, 0);
  EXPECT_EQ(MaskBits(0).lowest, 1);
  EXPECT_EQ(MaskBits(0x80000000u).count, 0);
  EXPECT_EQ(MaskBits(0xC0000000u).count, 1);
  EXPECT_EQ(MaskBits(0xC0000000u).lowest, 30);
}

TEST(ConvertPalette, FullPaletteInPlaceMatchesSeparateConversion) {
  AnalyseMasks(0xF800, 0x07E0, 0x001F);
  std::vector<unsigned char> palette(256 * 4);
  for (int i = 0; i < 256; ++i) {
    palette[4 * i] = static_cast<unsigned char>(i);
    palette[4 * i + 1] = static_cast<unsigned char>(255 - i);
    palette[4 * i + 2] = static_cast<unsigned char>(i * 7);
    palette[4 * i + 3] = 0xEE;
  }
  const std::vector<unsigned char> original = palette;
  ConvertPalette(palette.data(), 256);
  for (int i = 0; i < 256; ++i) {
    const unsigned char* e = &original[4 * i];
    const uint16_t expected = static_cast<uint16_t>(((e[0] >> 3) << 11) | ((e[1] >> 2) << 5) | (e[2] >> 3));
    uint16_t pixel;
    std::memcpy(&pixel, &palette[2 * i], 2);
    ASSERT_EQ(pixel, expected) << "entry " << i;
  }
  // The second half of the buffer is not written.
  EXPECT_EQ(0, std::memcmp(&palette[512], &original[512], 512));
}

TEST(CopyToSurface, WidePitchCopiesRowsAndLeavesTheGapUntouched) {
  std::vector<uint16_t> source(kScreenWidth * kScreenHeight);
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint16_t>(i * 2654435761u >> 7);
  const int32_t pitch = 1280 + 24;
  std::vector<unsigned char> surface(pitch * kScreenHeight, 0xA5);
  CopyToSurface(surface.data(), source.data(), pitch);
  for (int y = 0; y < kScreenHeight; ++y) {
    ASSERT_EQ(0, std::memcmp(&surface[y * pitch], &source[y * kScreenWidth], 1280)) << "row " << y;
    for (int gap = 1280; gap < pitch; ++gap) ASSERT_EQ(surface[y * pitch + gap], 0xA5) << "row " << y;
  }
}

class FrameRate : public testing::Test {
 protected:
  void SetUp() override {
    screen.assign(kScreenWidth * kScreenHeight, 0x1234);
    vscreen = screen.data();
  }
  void TearDown() override { vscreen = nullptr; }

  // The digit drawn at position k, or -1 if the cells match no glyph.
  int DigitAt(int k) const {
    for (int d = 0; d < 10; ++d) {
      bool same = true;
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x) same = same && screen[y * kScreenWidth + 4 * k + x] == digitFont[d * 15 + y * 3 + x];
      if (same) return d;
    }
    return -1;
  }
  std::vector<int> Digits() const { return {DigitAt(0), DigitAt(1), DigitAt(2), DigitAt(3)}; }

  std::vector<uint16_t> screen;
};

TEST_F(FrameRate, ShowsFourDigitsAndTouchesNothingElse) {
  DrawFrameRate(1234);
  EXPECT_EQ(Digits(), (std::vector<int>{1, 2, 3, 4}));
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      const bool drawn = y < 5 && x < 15 && x % 4 != 3;
      if (!drawn) {
        ASSERT_EQ(screen[y * kScreenWidth + x], 0x1234) << x << "," << y;
      }
    }
  }
}

TEST_F(FrameRate, LeadingZerosAndOnlyTheLastFourDigits) {
  DrawFrameRate(7);
  EXPECT_EQ(Digits(), (std::vector<int>{0, 0, 0, 7}));
  DrawFrameRate(10000);
  EXPECT_EQ(Digits(), (std::vector<int>{0, 0, 0, 0}));
  DrawFrameRate(98765);
  EXPECT_EQ(Digits(), (std::vector<int>{8, 7, 6, 5}));
}

TEST_F(FrameRate, PixelsAreRawWhiteAndBlack) {
  DrawFrameRate(1000);
  // "1" is a single middle column; "0" is a ring.
  EXPECT_EQ(screen[0], 0x0000);
  EXPECT_EQ(screen[1], 0xFFFF);
  EXPECT_EQ(screen[4], 0xFFFF);
  EXPECT_EQ(screen[2 * kScreenWidth + 5], 0x0000);
  EXPECT_EQ(screen[4 * kScreenWidth + 6], 0xFFFF);
}

TEST_F(FrameRate, NegativeValueStaysInsideTheFont) {
  DrawFrameRate(-1);
  for (int k = 0; k < 4; ++k) EXPECT_NE(DigitAt(k), -1);
}

}  // namespace
