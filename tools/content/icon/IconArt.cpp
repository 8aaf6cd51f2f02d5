#include "IconArt.h"

#include <algorithm>
#include <cmath>

namespace {

struct Colour {
  float r = 0, g = 0, b = 0;
};

Colour Mix(Colour a, Colour b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
float Clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

// The title picture's colours.
const Colour kSkyTop{6, 2, 28}, kSkyLow{90, 30, 100}, kHaze{220, 110, 120};
const Colour kPlanetDark{10, 4, 24}, kPlanetMid{120, 50, 110}, kPlanetLit{255, 200, 170};
const Colour kFloor{8, 2, 26}, kGrid{40, 150, 220}, kGridGlow{210, 250, 255};
const Colour kRing{110, 210, 250};

constexpr float kCorner = 0.2f;
constexpr float kHorizon = 0.7f;
constexpr float kPlanetX = 0.5f, kPlanetY = 0.42f, kPlanetR = 0.25f;

bool InsideTile(float u, float v) {
  const float dx = std::max(0.0f, std::max(kCorner - u, u - (1 - kCorner)));
  const float dy = std::max(0.0f, std::max(kCorner - v, v - (1 - kCorner)));
  return dx * dx + dy * dy <= kCorner * kCorner;
}

// The ring, seen from a little above and tilted by about 20 degrees; its front half passes
// below the planet's centre.
bool OnRing(float px, float py, bool& front) {
  const float c = 0.94f, s = -0.34f;
  const float rx = px * c - py * s, ry = (px * s + py * c) * 3.6f;
  const float r = std::sqrt(rx * rx + ry * ry);
  front = ry > 0;
  return r > kPlanetR * 1.3f && r < kPlanetR * 1.75f;
}

Colour Background(float u, float v, bool grid) {
  if (v < kHorizon) {
    const float t = v / kHorizon;
    return t < 0.75f ? Mix(kSkyTop, kSkyLow, t / 0.75f) : Mix(kSkyLow, kHaze, (t - 0.75f) / 0.25f);
  }
  if (!grid) return kFloor;
  // Lines running to a vanishing point on the horizon, and rows closing up towards it.
  const float depth = (v - kHorizon) / (1 - kHorizon);
  const float across = (u - 0.5f) / (depth + 0.05f);
  const float row = std::fmod(std::log(depth + 0.02f) * 3.0f + 20.0f, 1.0f);
  const bool line = std::fabs(across - std::round(across * 2.5f) / 2.5f) < 0.05f || row < 0.14f;
  return line ? Mix(kGrid, kGridGlow, depth * 0.5f) : Mix(kFloor, kGrid, (1 - depth) * 0.25f);
}

Colour Planet(float px, float py) {
  const float d = std::sqrt(px * px + py * py) / kPlanetR;
  const float nz = std::sqrt(std::max(0.0f, 1 - d * d));
  const float lit = Clamp01((-px * 0.7f - py * 0.55f) / kPlanetR * 0.7f + nz * 0.55f);
  return lit < 0.5f ? Mix(kPlanetDark, kPlanetMid, lit * 2) : Mix(kPlanetMid, kPlanetLit, lit * 2 - 1);
}

// The colour at a point of the unit square, and whether the tile covers it.
bool Sample(float u, float v, bool grid, Colour& colour) {
  if (!InsideTile(u, v)) return false;
  colour = Background(u, v, grid);
  const float px = u - kPlanetX, py = v - kPlanetY;
  bool front;
  const bool ring = OnRing(px, py, front);
  if (std::sqrt(px * px + py * py) < kPlanetR && !(ring && front))
    colour = Planet(px, py);
  else if (ring)
    colour = kRing;
  return true;
}

}  // namespace

std::vector<uint32_t> DrawIcon(int size) {
  constexpr int kSamples = 8;  // per pixel and axis
  const bool grid = size >= 32;  // too fine to read in the smallest icon
  std::vector<uint32_t> pixels(static_cast<size_t>(size) * size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      Colour sum;
      int covered = 0;
      for (int sy = 0; sy < kSamples; ++sy)
        for (int sx = 0; sx < kSamples; ++sx) {
          Colour c;
          if (!Sample((x + (sx + 0.5f) / kSamples) / size, (y + (sy + 0.5f) / kSamples) / size, grid, c)) continue;
          sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
          ++covered;
        }
      if (covered == 0) continue;
      const auto channel = [&](float total) { return static_cast<uint32_t>(std::lround(total / covered)) & 0xFF; };
      const uint32_t alpha = static_cast<uint32_t>(covered * 255 / (kSamples * kSamples));
      pixels[static_cast<size_t>(y) * size + x] = alpha << 24 | channel(sum.r) << 16 | channel(sum.g) << 8 | channel(sum.b);
    }
  return pixels;
}
