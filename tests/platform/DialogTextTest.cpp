// The built-in dialog face, as any host may draw with it: what it draws beyond the heights it
// holds, and text it has no glyphs for.
#include <gtest/gtest.h>

#include <string>

#include "testing.h"

namespace {

namespace vt = vemora::testing;

constexpr std::uint32_t kWhite = 0xFFFFFF;

int Inked(const vt::Picture& picture) {
  int count = 0;
  for (std::uint32_t pixel : picture.pixels) count += pixel != kWhite;
  return count;
}

// The columns (rows) that hold ink: first and one past the last.
std::pair<int, int> InkColumns(const vt::Picture& p) {
  int first = p.width, last = -1;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (p.at(x, y) != kWhite) first = std::min(first, x), last = std::max(last, x);
  return {first, last + 1};
}

TEST(BuiltInFace, DrawsEveryCharacterItHoldsAndMeasuresItsWidth) {
  for (char c = ' ' + 1; c <= '~'; ++c) {
    SCOPED_TRACE(std::string(1, c));
    const std::string text(1, c);
    EXPECT_GT(Inked(vt::DrawDialogText(vt::TextFace::BuiltIn, 11, text, 2, 2, 20, 20)), 0);
    EXPECT_GT(vt::DialogTextWidth(vt::TextFace::BuiltIn, 11, text), 0);
  }
  EXPECT_EQ(Inked(vt::DrawDialogText(vt::TextFace::BuiltIn, 11, "   ", 2, 2, 20, 20)), 0);
  // Kerning pulls "AV" together: narrower than its letters side by side.
  EXPECT_LT(vt::DialogTextWidth(vt::TextFace::BuiltIn, 11, "AV"),
            vt::DialogTextWidth(vt::TextFace::BuiltIn, 11, "A") + vt::DialogTextWidth(vt::TextFace::BuiltIn, 11, "V"));
}

TEST(BuiltInFace, OtherHeightsAreScaledFromTheNearestOne) {
  const int width = vt::DialogTextWidth(vt::TextFace::BuiltIn, 11, "Interpolation");
  EXPECT_EQ(vt::DialogTextWidth(vt::TextFace::BuiltIn, 22, "Interpolation"), 2 * width);
  const vt::Picture small = vt::DrawDialogText(vt::TextFace::BuiltIn, 11, "Interpolation", 0, 0, 200, 60);
  const vt::Picture large = vt::DrawDialogText(vt::TextFace::BuiltIn, 22, "Interpolation", 0, 0, 200, 60);
  EXPECT_EQ(Inked(large), 4 * Inked(small)) << "each pixel becomes a 2 x 2 block";
  EXPECT_EQ(InkColumns(large).second, 2 * InkColumns(small).second);
  EXPECT_EQ(Inked(vt::DrawDialogText(vt::TextFace::BuiltIn, 0, "GO", 0, 0, 40, 20)), 0);
  EXPECT_EQ(Inked(vt::DrawDialogText(vt::TextFace::BuiltIn, -5, "GO", 0, 0, 40, 20)), 0);
}

TEST(BuiltInFace, UnknownCharactersAreQuestionMarksAndClippingHolds) {
  const vt::Picture question = vt::DrawDialogText(vt::TextFace::BuiltIn, 11, "a?b", 2, 2, 40, 20);
  EXPECT_EQ(vt::DrawDialogText(vt::TextFace::BuiltIn, 11, "a\xC3\xA9" "b", 2, 2, 40, 20).pixels, question.pixels)
      << "a two-byte UTF-8 character is one '?'";
  EXPECT_EQ(vt::DrawDialogText(vt::TextFace::BuiltIn, 11, "a\tb", 2, 2, 40, 20).pixels, question.pixels);
  // Text reaching past every edge of the picture is cut there, not written outside it.
  const vt::Picture cut = vt::DrawDialogText(vt::TextFace::BuiltIn, 11, "Windowed (overlay)", -7, -4, 30, 6);
  EXPECT_GT(Inked(cut), 0);
  EXPECT_EQ(Inked(vt::DrawDialogText(vt::TextFace::BuiltIn, 11, "GO", 50, 50, 40, 20)), 0);
}

}  // namespace
