#include "PictureKit.h"

#include <algorithm>
#include <cmath>

namespace kit {

Image::Image(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, 0) {}

namespace {

uint8_t Byte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 255.0f))); }

// Red and blue at 248 or more with green below 8 become the key colour in 5:5:5 or 5:6:5.
void KeepClearOfKey(std::array<uint8_t, 3>& c) {
  if (c[0] >= 248 && c[2] >= 248 && c[1] < 8) c[1] = 8;
}

}  // namespace

Ramp Image::AddRamp(int size, const std::vector<Stop>& stops) {
  Ramp ramp{used_, size};
  if (used_ + size > 256) throw "palette full";
  for (int i = 0; i < size; ++i) {
    float t = size > 1 ? static_cast<float>(i) / (size - 1) : 0.0f;
    Rgb c = stops.front().colour;
    for (size_t s = 1; s < stops.size(); ++s) {
      if (t <= stops[s].t) {
        float span = stops[s].t - stops[s - 1].t;
        c = Mix(stops[s - 1].colour, stops[s].colour, span > 0 ? (t - stops[s - 1].t) / span : 1.0f);
        break;
      }
      c = stops[s].colour;
    }
    std::array<uint8_t, 3> entry{Byte(c.r), Byte(c.g), Byte(c.b)};
    KeepClearOfKey(entry);
    palette[used_ + i] = entry;
  }
  used_ += size;
  return ramp;
}

int Image::AddKey() {
  if (used_ >= 256) throw "palette full";
  palette[used_] = {255, 0, 255};
  return used_++;
}

float Bayer(int x, int y) {
  static const int m[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26},
                              {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
                              {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
                              {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};
  return (m[y & 7][x & 7] + 0.5f) / 64.0f;
}

void Image::Put(int x, int y, Ramp ramp, float t) {
  float v = Clamp01(t) * (ramp.size - 1);
  int level = static_cast<int>(std::floor(v + Bayer(x, y)));
  Set(x, y, ramp.base + std::clamp(level, 0, ramp.size - 1));
}

bool Image::Cover(int x, int y, float coverage) { return coverage > Bayer(x, y); }

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

float Smooth(float e0, float e1, float v) {
  float t = Clamp01((v - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

Rgb Mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

float Hash01(uint32_t a, uint32_t b, uint32_t seed) {
  uint32_t h = a * 0x8da6b343u ^ b * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return (h & 0xFFFFFF) / 16777216.0f;
}

float Noise(float x, float y, int period, uint32_t seed) {
  float fx = std::floor(x), fy = std::floor(y);
  int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  float tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  auto cell = [&](int cx, int cy) {
    cx = ((cx % period) + period) % period;
    cy = ((cy % period) + period) % period;
    return Hash01(cx, cy, seed);
  };
  float a = cell(ix, iy), b = cell(ix + 1, iy), c = cell(ix, iy + 1), d = cell(ix + 1, iy + 1);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float Fbm(float x, float y, int period, uint32_t seed, int octaves) {
  float sum = 0, amplitude = 0.5f, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amplitude * Noise(x, y, period, seed + o * 101);
    norm += amplitude;
    x *= 2;
    y *= 2;
    period *= 2;
    amplitude *= 0.5f;
  }
  return sum / norm;
}

std::vector<float> DistanceInside(const std::vector<uint8_t>& mask, int w, int h, bool edgeIsSet) {
  const float big = 1e9f;
  std::vector<float> d(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < d.size(); ++i) d[i] = mask[i] ? big : 0.0f;
  const float edge = edgeIsSet ? big : 0.0f;
  auto at = [&](int x, int y) { return (x < 0 || y < 0 || x >= w || y >= h) ? edge : d[y * w + x]; };
  // Chamfer weights 5, 7, 11 scaled to pixels.
  const float a = 1.0f, b = 1.4f, c = 2.2f;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      float& v = d[y * w + x];
      if (v == 0) continue;
      v = std::min({v, at(x - 1, y) + a, at(x, y - 1) + a, at(x - 1, y - 1) + b, at(x + 1, y - 1) + b,
                    at(x - 1, y - 2) + c, at(x + 1, y - 2) + c, at(x - 2, y - 1) + c, at(x + 2, y - 1) + c});
    }
  for (int y = h - 1; y >= 0; --y)
    for (int x = w - 1; x >= 0; --x) {
      float& v = d[y * w + x];
      if (v == 0) continue;
      v = std::min({v, at(x + 1, y) + a, at(x, y + 1) + a, at(x + 1, y + 1) + b, at(x - 1, y + 1) + b,
                    at(x + 1, y + 2) + c, at(x - 1, y + 2) + c, at(x + 2, y + 1) + c, at(x - 2, y + 1) + c});
    }
  return d;
}

std::vector<float> Lettering(const glyphs::Font& font, const std::string& text, int w, int h, float ox, float oy,
                             float sx, float sy) {
  std::vector<float> coverage(static_cast<size_t>(w) * h, 0.0f);
  float pen = ox;
  for (unsigned char ch : text) {
    if (ch >= glyphs::kCount) continue;
    const glyphs::Glyph& g = font[ch];
    int x0 = std::max(0, static_cast<int>(std::floor(pen)));
    int x1 = std::min(w, static_cast<int>(std::ceil(pen + g.advance * sx)) + 1);
    for (int y = 0; y < h; ++y)
      for (int x = x0; x < x1; ++x) {
        int hits = 0;
        for (int sy4 = 0; sy4 < 4; ++sy4)
          for (int sx4 = 0; sx4 < 4; ++sx4) {
            float gx = (x + (sx4 + 0.5f) / 4 - pen) / sx;
            float gy = (y + (sy4 + 0.5f) / 4 - oy) / sy;
            if (gx >= 0 && gy >= 0 && g.At(static_cast<int>(gx), static_cast<int>(gy))) ++hits;
          }
        coverage[y * w + x] = std::max(coverage[y * w + x], hits / 16.0f);
      }
    pen += g.advance * sx;
  }
  return coverage;
}

float InkWidth(const glyphs::Font& font, const std::string& text, float sx) {
  int first = -1, last = -1, pen = 0;
  for (unsigned char ch : text) {
    if (ch >= glyphs::kCount) continue;
    const glyphs::Glyph& g = font[ch];
    for (int x = 0; x < g.advance; ++x)
      for (int y = 0; y < glyphs::kHeight; ++y)
        if (g.At(x, y)) {
          if (first < 0) first = pen + x;
          last = std::max(last, pen + x);
        }
    pen += g.advance;
  }
  return first < 0 ? 0.0f : (last + 1 - first) * sx;
}

std::vector<uint8_t> EncodePcx(const Image& image) {
  std::vector<uint8_t> out(128, 0);
  auto word = [&](int at, int v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  out[0] = 0x0A;  // manufacturer
  out[1] = 5;     // version
  out[2] = 1;     // run-length encoding
  out[3] = 8;     // bits per pixel
  word(8, image.width - 1);
  word(10, image.height - 1);
  word(12, 72);
  word(14, 72);
  out[65] = 1;  // planes
  word(66, image.width);
  word(68, 1);  // colour palette
  // Runs stop at the end of each row, as ordinary readers expect.
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* row = &image.pixels[static_cast<size_t>(y) * image.width];
    for (int x = 0; x < image.width;) {
      int run = 1;
      while (x + run < image.width && run < 63 && row[x + run] == row[x]) ++run;
      if (run > 1 || row[x] >= 0xC0) {
        out.push_back(static_cast<uint8_t>(0xC0 | run));
        out.push_back(row[x]);
      } else {
        out.push_back(row[x]);
      }
      x += run;
    }
  }
  out.push_back(0x0C);
  for (const auto& entry : image.palette) out.insert(out.end(), entry.begin(), entry.end());
  return out;
}

}  // namespace kit
