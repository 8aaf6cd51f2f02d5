// Framed pictures: each pixel of the show an N x N block centred on black, in RGB and in the
// video's Y, U, V planes, whose chroma averages the 2 x 2 output pixels it covers.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Framing.h"

namespace {

struct Layout {
  const char* name;
  bool overlay;
  uint16_t red;
};
constexpr Layout kLayouts[] = {{"5:6:5", false, 0xF800}, {"5:5:5", true, 0x7C00}};

// Red in even columns and in the last one, black elsewhere.
std::vector<uint16_t> Stripes(uint16_t red) {
  std::vector<uint16_t> frame(capture::kShowWidth * capture::kShowHeight);
  for (int y = 0; y < capture::kShowHeight; ++y)
    for (int x = 0; x < capture::kShowWidth; ++x)
      frame[y * capture::kShowWidth + x] = x % 2 == 0 || x == capture::kShowWidth - 1 ? red : 0;
  return frame;
}

// Limited-range BT.601 values: black, red, and their averages over a chroma block.
constexpr int kBlackY = 16, kRedY = 81, kNeutral = 128, kRedU = 90, kRedV = 240, kHalfRedU = 109, kHalfRedV = 184;

TEST(FramePainter, Yuv420CentresTheBlownUpFrameAndAveragesChromaOverEachBlock) {
  // Scale 3 in 1924 x 1446: two columns of bars left and right, three rows above and below.
  const capture::Framing framing{3, 1924, 1446};
  ASSERT_EQ(framing.left(), 2);
  ASSERT_EQ(framing.top(), 3);
  capture::FramePainter painter(framing);
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.name);
    std::vector<uint8_t> out(framing.Yuv420Bytes(), 0xAA);
    painter.ToYuv420(Stripes(layout.red).data(), layout.overlay, out.data());
    const uint8_t* yPlane = out.data();
    const uint8_t* uPlane = yPlane + 1924 * 1446;
    const uint8_t* vPlane = uPlane + 962 * 723;
    auto y = [&](int x, int row) { return int{yPlane[row * 1924 + x]}; };
    auto uv = [&](int cx, int cy) { return std::pair{int{uPlane[cy * 962 + cx]}, int{vPlane[cy * 962 + cx]}}; };

    EXPECT_EQ(y(2, 2), kBlackY);  // bar above
    for (int x : {2, 3, 4, 8, 1919, 1920, 1921}) EXPECT_EQ(y(x, 3), kRedY) << x;
    for (int x : {0, 1, 5, 6, 7, 1914, 1922, 1923}) EXPECT_EQ(y(x, 3), kBlackY) << x;
    EXPECT_EQ(y(4, 1442), kRedY);   // last picture row
    EXPECT_EQ(y(4, 1443), kBlackY);  // bar below

    using P = std::pair<int, int>;
    EXPECT_EQ(uv(0, 0), P(kNeutral, kNeutral));    // bars only
    EXPECT_EQ(uv(1, 2), P(kRedU, kRedV));          // columns 2 and 3: red
    EXPECT_EQ(uv(2, 2), P(kHalfRedU, kHalfRedV));  // columns 4 (red) and 5 (black)
    EXPECT_EQ(uv(3, 2), P(kNeutral, kNeutral));    // columns 6 and 7: black
    EXPECT_EQ(uv(1, 1), P(kHalfRedU, kHalfRedV));  // rows 2 (bar) and 3 (red)
    EXPECT_EQ(uv(1, 721), P(kHalfRedU, kHalfRedV));  // rows 1442 (red) and 1443 (bar)
    EXPECT_EQ(uv(1, 722), P(kNeutral, kNeutral));
    EXPECT_EQ(uv(960, 300), P(kRedU, kRedV));      // the last column, blown up
    EXPECT_EQ(uv(961, 300), P(kNeutral, kNeutral));
  }
}

TEST(FramePainter, RgbPutsEveryPixelOfTheBlockAtItsStride) {
  const capture::Framing framing{2, 1282, 962};  // one column and one row of bars each side
  const capture::FramePainter painter(framing);
  const size_t stride = 1 + 1282 * 3;  // as in a PNG row, after its filter byte
  std::vector<uint8_t> out(stride * 962, 0xAA);
  painter.ToRgb(Stripes(0xF800).data(), false, out.data() + 1, stride);
  auto rgb = [&](int x, int row) {
    const uint8_t* at = out.data() + 1 + row * stride + x * 3;
    return uint32_t{at[0]} << 16 | at[1] << 8 | at[2];
  };
  for (int row = 0; row < 962; ++row) ASSERT_EQ(out[row * stride], 0xAA) << "row " << row << " lost its filter byte";
  for (auto [x, row] : {std::pair{1, 1}, {2, 1}, {1, 2}, {2, 960}, {1279, 1}, {1280, 960}})
    EXPECT_EQ(rgb(x, row), 0xFF0000u) << x << "," << row;
  for (auto [x, row] : {std::pair{0, 1}, {1, 0}, {3, 1}, {4, 2}, {1281, 1}, {1, 961}})
    EXPECT_EQ(rgb(x, row), 0u) << x << "," << row;
}

}  // namespace
