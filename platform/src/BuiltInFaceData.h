// The tables of the built-in dialog face, Vemora Sans (BuiltInFaceData.cpp, made by
// makedialogface): per pixel height, every printable ASCII character's advance, the box the
// layout measures it by, its ink as 8-bit coverage, and the kerning between pairs.
#pragma once

#include <cstdint>

namespace vemora::platform::builtinface {

constexpr int kFirstChar = 32;
constexpr int kGlyphCount = 95;  // ' ' to '~'

struct Glyph {
  std::int32_t advance;  // 1/64 pixel
  // The outline's box: left of the pen, width, top above the baseline, rows.
  std::int16_t boxLeft, boxWidth, boxTop, boxRows;
  // The ink: left of the pen, top below the line's top, width, rows, and where its coverage
  // (one byte a pixel, row by row) starts in kCoverage.
  std::int16_t inkLeft, inkTop, inkWidth, inkRows;
  std::int32_t coverage;
};

struct Kerning {
  char first;
  char second;
  std::int16_t adjust;  // 1/64 pixel
};

struct Size {
  int pixelHeight;
  int ascent;
  int lineHeight;
  const Glyph* glyphs;  // kGlyphCount
  const Kerning* kerning;  // sorted by pair
  int kerningCount;
};

extern const Size kSizes[];
extern const int kSizeCount;
extern const std::uint8_t kCoverage[];

}  // namespace vemora::platform::builtinface
