#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>

#include "GfxTestSupport.h"
#include "effects/Pcx.h"

namespace {

using namespace gfxtest;

struct Picture {
  int32_t width = 0, height = 0;
  std::unique_ptr<uint8_t[]> pixels, palette;
  int At(int x, int y) const { return pixels[y * width + x]; }
  const uint8_t* Rgb(int index) const { return &palette[4 * index]; }
  uint16_t Colour565(int x, int y) const {
    const uint8_t* c = Rgb(At(x, y));
    return To565(c[0], c[1], c[2]);
  }
  uint16_t Colour555(int x, int y) const {
    const uint8_t* c = Rgb(At(x, y));
    return To555(c[0], c[1], c[2]);
  }
  bool IsKey(int index) const { return Rgb(index)[0] == 255 && Rgb(index)[1] == 0 && Rgb(index)[2] == 255; }
};

// Decoded the way the show does it: the embedded bytes, their exact length, PcxDecode.
Picture Load(Asset (*asset)()) {
  Asset a = asset();
  Picture p;
  uint8_t *pixels = nullptr, *palette = nullptr;
  EXPECT_FALSE(PcxDecode(a.data, a.size, &pixels, &palette, &p.width, &p.height));
  p.pixels.reset(pixels);
  p.palette.reset(palette);
  return p;
}

int Word(const std::vector<uint8_t>& d, int at) { return d[at] | (d[at + 1] << 8); }

TEST(Pictures, EmbeddedBytesAreTheCommittedFiles) {
  for (const PictureInfo& info : Pictures()) {
    Asset a = info.asset();
    std::vector<uint8_t> file = ReadFile(AssetPath(info.file));
    ASSERT_FALSE(file.empty()) << info.file;
    ASSERT_EQ(a.size, static_cast<int>(file.size())) << info.file;
    EXPECT_TRUE(std::equal(file.begin(), file.end(), a.data)) << info.file;
  }
}

TEST(Pictures, StoredFormatIsVersion5RunLengthWithTheStreamEndingAtThePalette) {
  for (const PictureInfo& info : Pictures()) {
    SCOPED_TRACE(info.file);
    std::vector<uint8_t> d = ReadFile(AssetPath(info.file));
    ASSERT_GT(d.size(), 128u + 769u);
    EXPECT_EQ(d[0], 0x0A);
    EXPECT_EQ(d[1], 5);
    EXPECT_EQ(d[2], 1);
    EXPECT_EQ(d[3], 8);
    EXPECT_EQ(Word(d, 4), 0);
    EXPECT_EQ(Word(d, 6), 0);
    EXPECT_EQ(Word(d, 8), info.width - 1);
    EXPECT_EQ(Word(d, 10), info.height - 1);
    EXPECT_EQ(d[65], 1);
    EXPECT_EQ(Word(d, 66), info.width);
    const size_t paletteMark = d.size() - 769;
    EXPECT_EQ(d[paletteMark], 0x0C);
    // Walk the stream: it must reach width x height exactly at the 0x0C byte, with no empty runs
    // and no run crossing a row end.
    const int64_t total = int64_t{info.width} * info.height;
    int64_t count = 0;
    size_t at = 128;
    bool runsStayInRows = true, emptyRun = false;
    while (count < total && at < paletteMark) {
      uint8_t b = d[at++];
      int n = 1;
      if (b >= 0xC0) {
        n = b & 0x3F;
        emptyRun |= n == 0;
        ++at;
      }
      runsStayInRows &= (count % info.width) + n <= info.width;
      count += n;
    }
    EXPECT_EQ(count, total);
    EXPECT_EQ(at, paletteMark);
    EXPECT_TRUE(runsStayInRows);
    EXPECT_FALSE(emptyRun);
  }
}

TEST(Pictures, DecodeToTheirSizesAndUseTheirPalettes) {
  for (const PictureInfo& info : Pictures()) {
    SCOPED_TRACE(info.file);
    Picture p = Load(info.asset);
    EXPECT_EQ(p.width, info.width);
    EXPECT_EQ(p.height, info.height);
    std::set<int> used(p.pixels.get(), p.pixels.get() + p.width * p.height);
    EXPECT_GE(used.size(), 100u) << "a picture of a handful of colours";
  }
}

TEST(Pictures, OnlyTheExactKeyColourConvertsToTheKeyInEitherFormat) {
  for (const PictureInfo& info : Pictures()) {
    SCOPED_TRACE(info.file);
    Picture p = Load(info.asset);
    int keys = 0;
    for (int i = 0; i < 256; ++i) {
      const uint8_t* c = p.Rgb(i);
      bool key = p.IsKey(i);
      keys += key;
      EXPECT_EQ(To565(c[0], c[1], c[2]) == kKey565, key) << "entry " << i;
      EXPECT_EQ(To555(c[0], c[1], c[2]) == kKey555, key) << "entry " << i;
    }
    const std::string name = info.file;
    EXPECT_EQ(keys, name == "water_background.pcx" || name == "water_lens.pcx" ? 1 : 0);
  }
}

TEST(Pictures, LogosStandOnABackgroundThatConvertsToBlack) {
  for (auto asset : {UpperLogoImage, LowerLogoImage}) {
    Picture p = Load(asset);
    int black = 0;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) {
        bool zero = p.Colour565(x, y) == 0;
        EXPECT_EQ(zero, p.Colour555(x, y) == 0);
        black += zero;
        if (x == 0 || y == 0 || x == p.width - 1 || y == p.height - 1) {
          EXPECT_EQ(p.Colour565(x, y), 0) << x << "," << y;
        }
      }
    // Lettering takes a fair share of the picture, but most of it is background.
    EXPECT_GT(black, p.width * p.height / 2);
    EXPECT_LT(black, p.width * p.height * 9 / 10);
  }
}

TEST(Pictures, RotoTextureTilesWithoutASeam) {
  Picture p = Load(RotoTextureImage);
  auto diff = [&](int x0, int y0, int x1, int y1) {
    const uint8_t *a = p.Rgb(p.At(x0, y0)), *b = p.Rgb(p.At(x1, y1));
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
  };
  // Across the wrap the picture changes no more than between neighbours inside it.
  double inside = 0, acrossX = 0, acrossY = 0;
  for (int i = 0; i < 256; ++i) {
    inside += diff(127, i, 128, i) + diff(i, 127, i, 128);
    acrossX += diff(255, i, 0, i);
    acrossY += diff(i, 255, i, 0);
  }
  EXPECT_LT(acrossX, inside);
  EXPECT_LT(acrossY, inside);
}

TEST(Pictures, RotoFrameWindowIsDarkExactlyWhereTheRotozoomDraws) {
  Picture p = Load(RotoFrameImage);
  auto brightest = [&](int x, int y) {
    const uint8_t* c = p.Rgb(p.At(x, y));
    return std::max({c[0], c[1], c[2]});
  };
  for (int y = 122; y <= 357; ++y)
    for (int x = 171; x <= 479; ++x) ASSERT_LE(brightest(x, y), 32) << x << "," << y;
  // The ring just outside the window is bright trim, so the window's edge is unmistakable.
  for (int x = 170; x <= 480; ++x) {
    EXPECT_GE(brightest(x, 121), 64) << x;
    EXPECT_GE(brightest(x, 358), 64) << x;
  }
  for (int y = 121; y <= 358; ++y) {
    EXPECT_GE(brightest(170, y), 64) << y;
    EXPECT_GE(brightest(480, y), 64) << y;
  }
}

TEST(Pictures, WaterPoolIsKeyColouredInAtMostTwoRunsPerRowInsideItsArea) {
  Picture p = Load(WaterBackgroundImage);
  // The effect's own scan: linear over the whole picture.
  struct Run {
    int start, length;
  };
  std::vector<Run> runs;
  const int total = p.width * p.height;
  for (int i = 0; i < total;) {
    if (!p.IsKey(p.pixels[i])) {
      ++i;
      continue;
    }
    int n = 0;
    while (i + n < total && p.IsKey(p.pixels[i + n])) ++n;
    runs.push_back({i, n});
    i += n;
  }
  EXPECT_LE(runs.size(), 960u);
  std::vector<int> perRow(480, 0);
  int top = 480, bottom = -1, left = 640, right = -1;
  for (const Run& r : runs) {
    int row = r.start / 640, column = r.start % 640;
    EXPECT_EQ((r.start + r.length - 1) / 640, row) << "run crosses a row end";
    ++perRow[row];
    top = std::min(top, row), bottom = std::max(bottom, row);
    left = std::min(left, column), right = std::max(right, column + r.length - 1);
  }
  for (int row = 0; row < 480; ++row) EXPECT_LE(perRow[row], 2) << row;
  EXPECT_EQ(perRow[0], 0);
  EXPECT_EQ(perRow[479], 0);
  // The pool fills its area to the edges, and the island splits the rows through it.
  EXPECT_EQ(top, 27);
  EXPECT_EQ(bottom, 446);
  EXPECT_EQ(left, 108);
  EXPECT_EQ(right, 526);
  EXPECT_GT(runs.size(), 420u);
  EXPECT_FALSE(p.IsKey(p.At(317, 236)));
}

TEST(Pictures, BallIsASphereOnTransparentBlackWithEveryVisiblePixelNonZero) {
  Picture p = Load(WaterBallImage);
  int visible = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      // Transparent in one format means transparent in both.
      bool clear565 = p.Colour565(x, y) == 0, clear555 = p.Colour555(x, y) == 0;
      ASSERT_EQ(clear565, clear555) << x << "," << y;
      float dx = x - 78.5f, dy = y - 78.5f;
      if (!clear565) {
        ++visible;
        EXPECT_LT(dx * dx + dy * dy, 79.0f * 79.0f) << x << "," << y;
      } else if (dx * dx + dy * dy < 74.0f * 74.0f) {
        ADD_FAILURE() << "hole in the ball at " << x << "," << y;
      }
    }
  EXPECT_GT(visible, 17000);  // pi * 76^2 is about 18146
}

TEST(Pictures, LensCornersAreKeyAndItsGlassNever) {
  Picture p = Load(WaterLensImage);
  for (auto [x, y] : {std::pair{0, 0}, {157, 0}, {0, 157}, {157, 157}, {10, 10}, {147, 147}})
    EXPECT_TRUE(p.IsKey(p.At(x, y))) << x << "," << y;
  int keysInside = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      float dx = x - 78.5f, dy = y - 78.5f;
      if (dx * dx + dy * dy < 77.0f * 77.0f) keysInside += p.IsKey(p.At(x, y));
    }
  EXPECT_EQ(keysInside, 0);
}

}  // namespace
