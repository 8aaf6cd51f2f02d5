#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "effects/Pcx.h"

namespace {

// A PCX image around the given run-length stream; palette entry i is (i, 255 - i, i / 2).
std::vector<uint8_t> MakePcx(int width, int height, const std::vector<uint8_t>& stream, bool withPalette = true) {
  std::vector<uint8_t> data(128, 0);
  data[0] = 0x0A;
  data[1] = 5;
  data[2] = 1;
  data[3] = 8;
  data[8] = static_cast<uint8_t>(width - 1);
  data[9] = static_cast<uint8_t>((width - 1) >> 8);
  data[10] = static_cast<uint8_t>(height - 1);
  data[11] = static_cast<uint8_t>((height - 1) >> 8);
  for (uint8_t b : stream) data.push_back(b);
  if (withPalette) {
    data.push_back(0x0C);
    for (int i = 0; i < 256; ++i) {
      data.push_back(static_cast<uint8_t>(i));
      data.push_back(static_cast<uint8_t>(255 - i));
      data.push_back(static_cast<uint8_t>(i / 2));
    }
  }
  return data;
}

struct Decoded {
  bool failed = true;
  std::unique_ptr<uint8_t[]> pixels, palette;
  int32_t width = -1, height = -1;
};

Decoded Decode(const std::vector<uint8_t>& data, bool wantPixels = true, bool wantPalette = true) {
  Decoded d;
  uint8_t* pixels = reinterpret_cast<uint8_t*>(1);  // must be overwritten
  uint8_t* palette = reinterpret_cast<uint8_t*>(1);
  d.failed = PcxDecode(data.data(), static_cast<int32_t>(data.size()), wantPixels ? &pixels : nullptr,
                       wantPalette ? &palette : nullptr, &d.width, &d.height);
  if (wantPixels) d.pixels.reset(pixels);
  if (wantPalette) d.palette.reset(palette);
  return d;
}

std::vector<uint8_t> Pixels(const Decoded& d) {
  return std::vector<uint8_t>(d.pixels.get(), d.pixels.get() + d.width * d.height);
}

TEST(PcxDecode, DecodesRunsLiteralsAndPaletteOfAWellFormedImage) {
  // 4 x 3: a run of 5 crossing the first row end, literals, a run of one high byte, a run of 5.
  Decoded d = Decode(MakePcx(4, 3, {0xC5, 7, 1, 2, 0xC1, 0xC8, 0xC3, 9, 0xC0, 5, 0xC0, 6, 0xC0, 1, 3}));
  // The zero-count runs consume their two bytes and write nothing, so the picture ends after 3.
  ASSERT_FALSE(d.failed);
  EXPECT_EQ(d.width, 4);
  EXPECT_EQ(d.height, 3);
  EXPECT_EQ(Pixels(d), (std::vector<uint8_t>{7, 7, 7, 7, 7, 1, 2, 0xC8, 9, 9, 9, 3}));
  ASSERT_TRUE(d.palette);
  EXPECT_EQ(d.palette[0], 0);
  EXPECT_EQ(d.palette[1], 255);
  EXPECT_EQ(d.palette[2], 0);
  EXPECT_EQ(d.palette[3], 0);
  EXPECT_EQ(d.palette[4 * 200], 200);
  EXPECT_EQ(d.palette[4 * 200 + 1], 55);
  EXPECT_EQ(d.palette[4 * 200 + 2], 100);
  EXPECT_EQ(d.palette[4 * 255 + 3], 0);
}

TEST(PcxDecode, ProducesOnlyWhatIsAskedFor) {
  std::vector<uint8_t> data = MakePcx(2, 2, {0xC4, 1});
  Decoded pixelsOnly = Decode(data, true, false);
  EXPECT_FALSE(pixelsOnly.failed);
  EXPECT_EQ(Pixels(pixelsOnly), (std::vector<uint8_t>{1, 1, 1, 1}));
  Decoded paletteOnly = Decode(data, false, true);
  EXPECT_FALSE(paletteOnly.failed);
  EXPECT_EQ(paletteOnly.palette[4 * 3], 3);

  // Without both size outputs the size is not reported.
  int32_t width = -7;
  uint8_t* pixels = nullptr;
  EXPECT_FALSE(PcxDecode(data.data(), static_cast<int32_t>(data.size()), &pixels, nullptr, &width, nullptr));
  EXPECT_EQ(width, -7);
  delete[] pixels;
}

TEST(PcxDecode, CutsARunThatWouldPassTheEndOfThePicture) {
  Decoded d = Decode(MakePcx(3, 2, {0xC4, 5, 0xFF, 6}));
  ASSERT_FALSE(d.failed);
  EXPECT_EQ(Pixels(d), (std::vector<uint8_t>{5, 5, 5, 5, 6, 6}));
}

TEST(PcxDecode, StreamEndingEarlyLeavesTheRestBlackAndSucceeds) {
  // No palette: the stream simply stops after three pixels, at the end of the data.
  Decoded d = Decode(MakePcx(4, 2, {0xC2, 8, 4}, false), true, false);
  ASSERT_FALSE(d.failed);
  EXPECT_EQ(Pixels(d), (std::vector<uint8_t>{8, 8, 4, 0, 0, 0, 0, 0}));

  // A run byte as the very last byte has no value to repeat: nothing more is written.
  Decoded cut = Decode(MakePcx(2, 2, {3, 0xC2}, false), true, false);
  ASSERT_FALSE(cut.failed);
  EXPECT_EQ(Pixels(cut), (std::vector<uint8_t>{3, 0, 0, 0}));
}

TEST(PcxDecode, RefusesAHeaderShorterThan128Bytes) {
  std::vector<uint8_t> data = MakePcx(2, 2, {0xC4, 1});
  data.resize(127);
  Decoded d = Decode(data);
  EXPECT_TRUE(d.failed);
  EXPECT_EQ(d.pixels, nullptr);
  EXPECT_EQ(d.palette, nullptr);
  EXPECT_TRUE(PcxDecode(nullptr, 1000, nullptr, nullptr, nullptr, nullptr));
}

TEST(PcxDecode, RefusesAPaletteThatDoesNotFitButStillDecodesPixelsAlone) {
  std::vector<uint8_t> data = MakePcx(2, 2, {0xC4, 9}, false);  // 130 bytes, no palette
  Decoded both = Decode(data);
  EXPECT_TRUE(both.failed);
  EXPECT_EQ(both.pixels, nullptr);
  EXPECT_EQ(both.palette, nullptr);
  Decoded pixelsOnly = Decode(data, true, false);
  EXPECT_FALSE(pixelsOnly.failed);
  EXPECT_EQ(Pixels(pixelsOnly), (std::vector<uint8_t>{9, 9, 9, 9}));
}

TEST(PcxDecode, RefusesAbsurdSizesWithoutAllocating) {
  Decoded huge = Decode(MakePcx(65536, 65536, {0xC1, 1}));
  EXPECT_TRUE(huge.failed);
  EXPECT_EQ(huge.pixels, nullptr);
  Decoded tooMany = Decode(MakePcx(2049, 2048, {0xC1, 1}));
  EXPECT_TRUE(tooMany.failed);
  EXPECT_EQ(tooMany.palette, nullptr);
  // The largest accepted picture decodes (and is mostly black).
  Decoded largest = Decode(MakePcx(2048, 2048, {0xC2, 1}));
  ASSERT_FALSE(largest.failed);
  EXPECT_EQ(largest.pixels[1], 1);
  EXPECT_EQ(largest.pixels[2048 * 2048 - 1], 0);
}

}  // namespace
