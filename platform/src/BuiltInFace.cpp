#include "BuiltInFace.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "BuiltInFaceData.h"

namespace vemora::platform {

namespace {

using builtinface::Glyph;
using builtinface::Kerning;
using builtinface::Size;


const Size& NearestSize(int pixelHeight) {
  const Size* best = &builtinface::kSizes[0];
  for (int i = 1; i < builtinface::kSizeCount; ++i)
    if (std::abs(builtinface::kSizes[i].pixelHeight - pixelHeight) < std::abs(best->pixelHeight - pixelHeight))
      best = &builtinface::kSizes[i];
  return *best;
}

// The characters of the text as glyph indices: one '?' for each character it does not hold, a
// UTF-8 sequence counting as one character.
std::vector<int> GlyphIndices(const std::string& text) {
  std::vector<int> out;
  for (unsigned char c : text) {
    if ((c & 0xC0) == 0x80) continue;  // inside a sequence
    const int index = c - builtinface::kFirstChar;
    out.push_back(index >= 0 && index < builtinface::kGlyphCount ? index : '?' - builtinface::kFirstChar);
  }
  return out;
}

int KerningOf(const Size& size, int first, int second) {
  const char a = static_cast<char>(first + builtinface::kFirstChar), b = static_cast<char>(second + builtinface::kFirstChar);
  const Kerning* end = size.kerning + size.kerningCount;
  const Kerning* found = std::lower_bound(size.kerning, end, Kerning{a, b, 0}, [](const Kerning& l, const Kerning& r) {
    return l.first != r.first ? l.first < r.first : l.second < r.second;
  });
  return found != end && found->first == a && found->second == b ? found->adjust : 0;
}

int FloorPixels(int sixtyFourths) { return sixtyFourths >> 6; }

// The text laid out at a stored size: each glyph's pen in whole pixels, and the line's box,
// which starts left of (above) the pen when a glyph reaches there.
struct Line {
  std::vector<int> glyphs;
  std::vector<int> pens;
  int left = 0, right = 0, top = 0, bottom = 0;
};

Line Layout(const Size& size, const std::string& text) {
  Line line;
  line.glyphs = GlyphIndices(text);
  line.bottom = size.lineHeight;
  int pen = 0;  // 1/64 pixel
  for (std::size_t i = 0; i < line.glyphs.size(); ++i) {
    const Glyph& g = size.glyphs[line.glyphs[i]];
    const int x = FloorPixels(pen);
    line.pens.push_back(x);
    line.left = std::min(line.left, x + g.boxLeft);
    line.right = std::max(line.right, x + g.boxLeft + g.boxWidth);
    line.top = std::min(line.top, size.ascent - g.boxTop);
    line.bottom = std::max(line.bottom, size.ascent - g.boxTop + g.boxRows);
    pen += g.advance;
    if (i + 1 < line.glyphs.size()) pen += KerningOf(size, line.glyphs[i], line.glyphs[i + 1]);
  }
  line.right = std::max(line.right, FloorPixels(pen));
  return line;
}

// The line's coverage, one byte a pixel, its top-left corner at the line box's.
std::vector<std::uint8_t> Coverage(const Size& size, const Line& line) {
  const int width = line.right - line.left, height = line.bottom - line.top;
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height, 0);
  for (std::size_t i = 0; i < line.glyphs.size(); ++i) {
    const Glyph& g = size.glyphs[line.glyphs[i]];
    const int left = line.pens[i] + g.inkLeft - line.left, top = g.inkTop - line.top;
    for (int row = 0; row < g.inkRows; ++row)
      for (int column = 0; column < g.inkWidth; ++column) {
        const int x = left + column, y = top + row;
        const std::uint8_t value = builtinface::kCoverage[g.coverage + row * g.inkWidth + column];
        if (x >= 0 && y >= 0 && x < width && y < height && value != 0) {
          std::uint8_t& at = out[static_cast<std::size_t>(y) * width + x];
          at = std::max(at, value);
        }
      }
  }
  return out;
}

int Scaled(int value, int pixelHeight, const Size& size) {
  return (value * pixelHeight + size.pixelHeight / 2) / size.pixelHeight;
}

std::uint32_t Blend(std::uint32_t under, std::uint32_t over, int coverage) {
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int a = static_cast<int>((under >> shift) & 0xFF), b = static_cast<int>((over >> shift) & 0xFF);
    out |= static_cast<std::uint32_t>(a + ((b - a) * coverage + (b >= a ? 127 : -127)) / 255) << shift;
  }
  return out;
}

}  // namespace

bool BuiltInFace::BaseUnits(int pixelHeight, int& baseX, int& baseY) {
  if (pixelHeight <= 0) return false;
  baseX = (Width(pixelHeight, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
  baseY = Scaled(NearestSize(pixelHeight).lineHeight, pixelHeight, NearestSize(pixelHeight));
  return baseX > 0 && baseY > 0;
}

int BuiltInFace::Width(int pixelHeight, const std::string& text) {
  if (pixelHeight <= 0 || text.empty()) return DialogText::Width(pixelHeight, text);
  const Size& size = NearestSize(pixelHeight);
  const Line line = Layout(size, text);
  return Scaled(line.right - line.left, pixelHeight, size);
}

void BuiltInFace::Draw(const Canvas& canvas, int pixelHeight, int x, int y, const std::string& text,
                       std::uint32_t colour, const RECT& clip) {
  if (pixelHeight <= 0 || text.empty()) return;
  const Size& size = NearestSize(pixelHeight);
  const Line line = Layout(size, text);
  const std::vector<std::uint8_t> coverage = Coverage(size, line);
  const int sourceWidth = line.right - line.left, sourceHeight = line.bottom - line.top;
  const int width = Scaled(sourceWidth, pixelHeight, size), height = Scaled(sourceHeight, pixelHeight, size);
  const int left = std::max({0, static_cast<int>(clip.left), x});
  const int right = std::min({canvas.width, static_cast<int>(clip.right), x + width});
  const int top = std::max({0, static_cast<int>(clip.top), y});
  const int bottom = std::min({canvas.height, static_cast<int>(clip.bottom), y + height});
  for (int row = top; row < bottom; ++row) {
    const int sourceRow = std::min(sourceHeight - 1, (row - y) * size.pixelHeight / pixelHeight);
    std::uint32_t* out = canvas.pixels + static_cast<std::ptrdiff_t>(row) * canvas.width;
    for (int column = left; column < right; ++column) {
      const int sourceColumn = std::min(sourceWidth - 1, (column - x) * size.pixelHeight / pixelHeight);
      const int value = coverage[static_cast<std::size_t>(sourceRow) * sourceWidth + sourceColumn];
      if (value != 0) out[column] = Blend(out[column], colour, value);
    }
  }
}

}  // namespace vemora::platform
