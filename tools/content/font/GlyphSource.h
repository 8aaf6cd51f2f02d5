// Reads the font's glyph description (glyphs.txt): used by the font compiler and by the picture
// program, which scales the same letterforms up for its lettering.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace glyphs {

constexpr int kCount = 128;
constexpr int kHeight = 48;

struct Glyph {
  int advance = 0;
  std::vector<uint8_t> ink;  // kHeight rows of `advance` cells, 1 = ink
  bool At(int column, int row) const {
    return column >= 0 && column < advance && row >= 0 && row < kHeight && ink[row * advance + column];
  }
};

using Font = std::array<Glyph, kCount>;

// Parses the description; on a malformed file returns false and a message naming the line.
bool Load(const std::string& path, Font& font, std::string& error);

// Width of a string in pixels: the sum of the advances.
int Width(const Font& font, const std::string& text);

}  // namespace glyphs
