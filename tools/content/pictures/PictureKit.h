// Small toolkit for painting 8-bit indexed pictures: palettes made of ramps, ordered dithering,
// tileable noise, bevels from distance fields, scaled lettering, and the PCX writer.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "GlyphSource.h"

namespace kit {

struct Rgb {
  float r = 0, g = 0, b = 0;
};

struct Stop {
  float t;
  Rgb colour;
};

// A run of palette entries shading from one end to the other.
struct Ramp {
  int base = 0;
  int size = 0;
};

class Image {
 public:
  Image(int width, int height);

  int width, height;
  std::vector<uint8_t> pixels;
  std::array<std::array<uint8_t, 3>, 256> palette{};  // unused entries stay black

  // Entry 0 is black and taken from the start.
  Ramp AddRamp(int size, const std::vector<Stop>& stops);
  // The key colour (255, 0, 255); every other entry is kept clear of it.
  int AddKey();

  void Set(int x, int y, int index) {
    if (x >= 0 && y >= 0 && x < width && y < height) pixels[y * width + x] = static_cast<uint8_t>(index);
  }
  int At(int x, int y) const { return pixels[y * width + x]; }
  // Shade t (0..1) of the ramp, ordered-dithered between neighbouring entries.
  void Put(int x, int y, Ramp ramp, float t);
  // Picks `a` where the coverage beats the dither threshold: soft edges between ramps.
  static bool Cover(int x, int y, float coverage);

 private:
  int used_ = 1;
};

float Bayer(int x, int y);  // ordered-dither threshold in [0, 1)

float Clamp01(float v);
float Smooth(float edge0, float edge1, float v);
Rgb Mix(Rgb a, Rgb b, float t);

// Value noise that repeats every `period` units in both directions; fbm sums octaves of it.
float Noise(float x, float y, int period, uint32_t seed);
float Fbm(float x, float y, int period, uint32_t seed, int octaves);
float Hash01(uint32_t a, uint32_t b, uint32_t seed);

// Euclidean-like distance (chamfer 5-7-11) from every pixel where mask is set to the nearest
// unset pixel; 0 where the mask is clear. Pixels outside the picture count as clear unless
// `edgeIsSet`, which lets a distance run on past the picture's border.
std::vector<float> DistanceInside(const std::vector<uint8_t>& mask, int width, int height, bool edgeIsSet = false);

// Coverage (0..1) of a string drawn with the font's letterforms scaled by (sx, sy), the glyph
// cell's top-left at (ox, oy). Anti-aliased by 4x4 supersampling.
std::vector<float> Lettering(const glyphs::Font& font, const std::string& text, int width, int height, float ox,
                             float oy, float sx, float sy);
// Width in pixels of the ink of a string at scale sx (first ink column to last).
float InkWidth(const glyphs::Font& font, const std::string& text, float sx);

// A PCX file: version 5, run-length encoded, 8 bits, one plane, palette at the end.
std::vector<uint8_t> EncodePcx(const Image& image);

}  // namespace kit
