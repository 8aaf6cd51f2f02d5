#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "GfxTestSupport.h"
#include "effects/Font.h"

namespace {

using namespace gfxtest;

// The font as committed, read independently of the Font unit.
struct FontFile {
  std::vector<uint8_t> bytes = ReadFile(AssetPath("font.bin"));
  int32_t Int(size_t at) const {
    int32_t v;
    std::memcpy(&v, &bytes[at], 4);
    return v;
  }
  GlyphRecord Glyph(int code) const { return {Int(8 + 12 * code), Int(12 + 12 * code), Int(16 + 12 * code)}; }
  SpanRecord Span(const GlyphRecord& g, int i) const {
    size_t at = 8 + 12 * 128 + g.spanOffset + 8 * i;
    return {Int(at), Int(at + 4)};
  }
  struct Box {
    int top = 48, bottom = -1, left = 640, right = -1;
  };
  Box Ink(int code) const {
    Box box;
    GlyphRecord g = Glyph(code);
    for (int i = 0; i < g.spanCount; ++i) {
      SpanRecord s = Span(g, i);
      int row = s.offset / 1280, column = s.offset % 1280 / 2;
      box.top = std::min(box.top, row), box.bottom = std::max(box.bottom, row);
      box.left = std::min(box.left, column), box.right = std::max(box.right, column + s.length - 1);
    }
    return box;
  }
};

// Advances of codes 32 to 127.
const int kAdvances[96] = {
    14, 9, 12, 32, 28, 17, 0, 6, 11, 11, 21, 34, 14, 18, 14, 16,
    28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 8, 8, 34, 34, 34, 24,
    41, 30, 28, 28, 29, 22, 21, 28, 30, 10, 25, 28, 24, 32, 29, 29,
    28, 29, 28, 27, 26, 29, 25, 32, 27, 26, 27, 11, 16, 11, 41, 21,
    21, 21, 22, 21, 22, 22, 13, 22, 22, 9, 9, 22, 9, 28, 22, 21,
    21, 21, 17, 21, 14, 22, 20, 28, 20, 22, 20, 21, 21, 21, 34, 25};

TEST(Font, HeaderAndAdvancesFollowTheTable) {
  FontFile f;
  Asset embedded = FontData();
  ASSERT_EQ(embedded.size, static_cast<int>(f.bytes.size()));
  EXPECT_EQ(0, std::memcmp(embedded.data, f.bytes.data(), f.bytes.size()));
  EXPECT_EQ(f.Int(0), 128);
  EXPECT_EQ(f.Int(4), 48);
  EXPECT_EQ(glyphCount(), 128);
  EXPECT_EQ(glyphHeight(), 48);
  for (int code = 0; code < 32; ++code) {
    EXPECT_EQ(f.Glyph(code).advance, 0) << code;
    EXPECT_EQ(f.Glyph(code).spanCount, 0) << code;
  }
  for (int code = 32; code < 128; ++code) EXPECT_EQ(f.Glyph(code).advance, kAdvances[code - 32]) << code;
  // The last glyph's spans end the file, and the glyphs' spans follow each other in code order.
  int32_t next = 0;
  for (int code = 0; code < 128; ++code) {
    EXPECT_EQ(f.Glyph(code).spanOffset, next) << code;
    next += 8 * f.Glyph(code).spanCount;
  }
  EXPECT_EQ(f.bytes.size(), 8u + 12 * 128 + next);
}

TEST(Font, SpacesAmpersandAndControlCodesHaveNoInkAndEveryOtherGlyphHas) {
  FontFile f;
  for (int code = 0; code < 128; ++code) {
    bool blank = code < 33 || code == '&';
    EXPECT_EQ(f.Glyph(code).spanCount == 0, blank) << code;
  }
}

TEST(Font, EverySpanLiesInsideItsGlyphCell) {
  FontFile f;
  for (int code = 0; code < 128; ++code) {
    GlyphRecord g = f.Glyph(code);
    for (int i = 0; i < g.spanCount; ++i) {
      SpanRecord s = f.Span(g, i);
      ASSERT_GE(s.offset, 0);
      EXPECT_EQ(s.offset % 2, 0);
      int row = s.offset / 1280, column = s.offset % 1280 / 2;
      EXPECT_GE(s.length, 1) << code;
      EXPECT_LE(row, 47) << code;
      EXPECT_LE(column + s.length, g.advance) << code << " span " << i;
    }
  }
}

TEST(Font, InkKeepsToTheRowsOfItsKind) {
  FontFile f;
  auto check = [&](const std::string& chars, int top, int bottom) {
    for (char c : chars) {
      FontFile::Box box = f.Ink(c);
      EXPECT_EQ(box.left, 2) << c;
      EXPECT_GE(box.top, top) << c;
      EXPECT_LE(box.bottom, bottom) << c;
    }
  };
  check("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", 9, 37);
  check("bdfhklt", 9, 37);
  check("acemnorsuvwxz", 18, 37);
  check("gpqy", 18, 46);
  for (char c : std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789bdhklt")) {
    EXPECT_EQ(f.Ink(c).top, 9) << c;
    EXPECT_EQ(f.Ink(c).bottom, 37) << c;
  }
  for (char c : std::string("acemnorsuvwxz")) EXPECT_EQ(f.Ink(c).top, 18) << c;
  for (char c : std::string("gjpqy")) EXPECT_EQ(f.Ink(c).bottom, 46) << c;
  EXPECT_EQ(f.Ink('_').top, 45);
  EXPECT_EQ(f.Ink('_').bottom, 47);
}

TEST(Font, TextWidthSumsAdvances) {
  EXPECT_EQ(TextWidth(textA), 30);
  EXPECT_EQ(TextWidth(textPresentation), 233);
  EXPECT_EQ(TextWidth(textAnd), 74);
  EXPECT_EQ(TextWidth(textSouvenirs), 223);
  EXPECT_EQ(TextWidth(""), 0);
  EXPECT_EQ(TextWidth(nullptr), 0);
  EXPECT_EQ(TextWidth("a&b\t"), 21 + 22);
  // Codes above 127 have no glyph: no width.
  EXPECT_EQ(TextWidth("A\xC3\xA9"), 30);
}

// A 640 x 480 16-bit target with the font's globals pointed at it, restored afterwards.
class DrawTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    screen.assign(640 * 480, 0);
    bytes.assign(640 * 480, 0);
    textTarget = screen.data();
    textColour = 0xBEEF;
    spanFiller = FillSpans16;
  }
  void TearDown() override {
    textTarget = nullptr;
    spanFiller = FillSpans16;
  }
  int Inked() const {
    int n = 0;
    for (uint16_t p : screen) n += p == 0xBEEF;
    return n;
  }
  int InkedIn(int x0, int x1) const {
    int n = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = x0; x < x1; ++x) n += screen[y * 640 + x] == 0xBEEF;
    return n;
  }
  int InkOf(const char* text) {
    std::vector<uint16_t> saved = screen;
    std::fill(screen.begin(), screen.end(), 0);
    DrawText(0, 0, text);
    int n = Inked();
    screen = saved;
    return n;
  }
  std::vector<uint16_t> screen;
  std::vector<uint8_t> bytes;
};

TEST_F(DrawTextTest, GlyphEndingExactlyAtTheRightEdgeIsDrawnOnePastIsCut) {
  const int inkA = InkOf("A");
  ASSERT_GT(inkA, 0);
  DrawText(610, 0, "A");  // ends at 640
  EXPECT_EQ(Inked(), inkA);
  std::fill(screen.begin(), screen.end(), 0);
  DrawText(611, 0, "A");
  EXPECT_EQ(Inked(), 0);
  // The string stops at the first glyph that would pass the edge, keeping the ones before it.
  std::fill(screen.begin(), screen.end(), 0);
  DrawText(560, 0, "AAB");  // A to 590, A to 620, B would end at 648
  EXPECT_EQ(Inked(), 2 * inkA);
  EXPECT_EQ(InkedIn(620, 640), 0);
  std::fill(screen.begin(), screen.end(), 0);
  DrawText(640, 0, " ");  // x = 640 is allowed, a space fits nothing there
  DrawText(641, 0, "A");
  DrawText(static_cast<uint32_t>(-5), 0, "A");
  EXPECT_EQ(Inked(), 0);
}

TEST_F(DrawTextTest, VerticalRangeIsZeroTo432) {
  const int inkA = InkOf("A");
  DrawText(0, 432, "A");
  EXPECT_EQ(Inked(), inkA);
  // The A's ink ends at row 37 of its cell.
  EXPECT_EQ(screen[(432 + 37) * 640 + 2], 0xBEEF);
  std::fill(screen.begin(), screen.end(), 0);
  DrawText(0, 433, "A");
  DrawText(0, -1, "A");
  DrawText(0, INT32_MIN, "A");
  DrawText(0, 0, "");
  DrawText(0, 0, nullptr);
  EXPECT_EQ(Inked(), 0);
}

TEST_F(DrawTextTest, DrawsAtThePenWithAdvancesAndSkipsInklessCodes) {
  DrawText(100, 50, "A&\x01 A");
  // A's top bar spans columns 2..27 of its cell in rows 9..11; the second A starts 44 further on.
  EXPECT_EQ(screen[(50 + 9) * 640 + 102], 0xBEEF);
  EXPECT_EQ(screen[(50 + 9) * 640 + 101], 0);
  EXPECT_EQ(screen[(50 + 9) * 640 + 146], 0xBEEF);
  EXPECT_EQ(screen[(50 + 9) * 640 + 145], 0);
  EXPECT_EQ(Inked(), 2 * InkOf("A"));
}

TEST_F(DrawTextTest, EightBitFillerWrites255AtHalvedOffsets) {
  DrawText(37, 101, "Souvenirs...");
  textTarget = bytes.data();
  spanFiller = FillSpans8;
  DrawText(37, 101, "Souvenirs...");
  int written = 0;
  for (int i = 0; i < 640 * 480; ++i) {
    ASSERT_EQ(bytes[i] == 255, screen[i] == 0xBEEF) << i;
    ASSERT_TRUE(bytes[i] == 0 || bytes[i] == 255) << i;
    written += bytes[i] == 255;
  }
  EXPECT_GT(written, 0);
  // FillSpans16 with a span count of 0 or less draws nothing.
  textTarget = screen.data();
  std::fill(screen.begin(), screen.end(), 0);
  SpanRecord span{0, 10};
  FillSpans16(0, &span, 0);
  FillSpans16(0, &span, -3);
  FillSpans8(0, &span, -1);
  EXPECT_EQ(Inked(), 0);
  FillSpans16(1280 * 5 + 20, &span, 1);
  EXPECT_EQ(Inked(), 10);
  EXPECT_EQ(screen[5 * 640 + 10], 0xBEEF);
  EXPECT_EQ(screen[5 * 640 + 19], 0xBEEF);
}

}  // namespace
