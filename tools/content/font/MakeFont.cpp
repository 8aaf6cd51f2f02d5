// Compiles glyphs.txt into the span font the show embeds (font.bin).
//
// Layout, all little-endian int32: glyph count, glyph height, one (span offset, advance, span
// count) record per code, then the spans: byte offset from the pen in a 640-pixel 16-bit row
// buffer, and length in pixels.
#include <cstdio>
#include <string>
#include <vector>

#include "GlyphSource.h"

namespace {

void Put(std::vector<uint8_t>& out, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: makefont GLYPHS.txt OUT.bin\n");
    return 2;
  }
  glyphs::Font font;
  std::string error;
  if (!glyphs::Load(argv[1], font, error)) {
    std::fprintf(stderr, "makefont: %s\n", error.c_str());
    return 1;
  }
  std::vector<int32_t> spans;
  std::vector<int32_t> records;
  for (const glyphs::Glyph& glyph : font) {
    int first = static_cast<int>(spans.size() / 2);
    for (int row = 0; row < glyphs::kHeight; ++row) {
      for (int x = 0; x < glyph.advance;) {
        if (!glyph.At(x, row)) {
          ++x;
          continue;
        }
        int start = x;
        while (glyph.At(x, row)) ++x;
        spans.push_back((row * 640 + start) * 2);
        spans.push_back(x - start);
      }
    }
    int count = static_cast<int>(spans.size() / 2) - first;
    records.push_back(first * 8);
    records.push_back(glyph.advance);
    records.push_back(count);
  }
  std::vector<uint8_t> out;
  Put(out, glyphs::kCount);
  Put(out, glyphs::kHeight);
  for (int32_t v : records) Put(out, v);
  for (int32_t v : spans) Put(out, v);
  FILE* file = std::fopen(argv[2], "wb");
  if (!file || std::fwrite(out.data(), 1, out.size(), file) != out.size() || std::fclose(file) != 0) {
    std::fprintf(stderr, "makefont: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
