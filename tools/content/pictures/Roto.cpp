// The rotozoom's tileable texture: embossed marble tiles.
#include <algorithm>
#include <cmath>

#include "Pictures.h"

namespace {

constexpr int kSize = 256;
constexpr int kHues = 16;
constexpr int kLevels = 16;
constexpr float kTau = 6.28318530718f;

// The marble's colours, from lapis through jade to the gold of its veins.
kit::Rgb HueColour(float h) {
  static const kit::Rgb stops[] = {{24, 36, 130}, {30, 90, 160}, {30, 150, 140}, {150, 170, 80}, {235, 180, 50}};
  h = std::clamp(h, 0.0f, 1.0f) * 4;
  int i = std::min(3, static_cast<int>(h));
  return kit::Mix(stops[i], stops[i + 1], h - i);
}

// Height of the embossed relief at (x, y): 4 x 4 bevelled tiles, each with a raised ring and an
// engraved diamond; everything in whole tiles, so the texture wraps.
float Relief(float x, float y) {
  x = std::fmod(x + kSize, 64.0f);
  y = std::fmod(y + kSize, 64.0f);
  float edge = std::min({x, y, 63.0f - x, 63.0f - y});
  float tile = std::min(1.0f, edge / 5.0f);
  float dx = x - 31.5f, dy = y - 31.5f;
  float r = std::sqrt(dx * dx + dy * dy);
  float ring = std::max(0.0f, 1.0f - std::fabs(r - 19.0f) / 3.5f);
  float diamond = std::fabs(dx) + std::fabs(dy);
  float groove = std::max(0.0f, 1.0f - std::fabs(diamond - 9.0f) / 2.0f);
  return tile + 0.6f * ring - 0.5f * groove;
}

}  // namespace

kit::Image MakeRotoTexture() {
  kit::Image image(kSize, kSize);
  // The palette is a grid: 16 colours, 16 light levels each.
  std::array<kit::Ramp, kHues> hues;
  for (int h = 0; h < kHues; ++h) {
    kit::Rgb c = HueColour(static_cast<float>(h) / kHues);
    if (h == 0) {
      // Entry 0 is black from the start; the wheel's first colour begins one level up.
      hues[0] = image.AddRamp(kLevels - 1, {{0.0f, kit::Mix({0, 0, 0}, c, 0.3f)},
                                            {0.75f, c},
                                            {1.0f, kit::Mix(c, {255, 255, 240}, 0.7f)}});
      continue;
    }
    hues[h] = image.AddRamp(kLevels, {{0.0f, kit::Mix({0, 0, 0}, c, 0.18f)},
                                      {0.7f, c},
                                      {1.0f, kit::Mix(c, {255, 255, 240}, 0.7f)}});
  }
  const float lx = -0.5f, ly = -0.6f, lz = 0.62f;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      // Marble: a plasma of whole-period waves, bent by tileable turbulence.
      float u = x / static_cast<float>(kSize), v = y / static_cast<float>(kSize);
      float turbulence = kit::Fbm(u * 8, v * 8, 8, 11, 5);
      float veins = std::fabs(std::sin(kTau * (2 * u + v) + 7.0f * turbulence));
      float cloud = 0.5f + 0.5f * std::sin(kTau * (u - 2 * v) + 4.0f * turbulence);
      float hue = std::clamp(0.6f * cloud + 0.55f * std::pow(1.0f - veins, 6.0f), 0.0f, 1.0f);
      float shade = 0.55f + 0.3f * cloud - 0.25f * std::pow(1.0f - veins, 12.0f);
      float gx = (Relief(x + 1, y) - Relief(x - 1, y)) * 2.0f;
      float gy = (Relief(x, y + 1) - Relief(x, y - 1)) * 2.0f;
      float len = std::sqrt(gx * gx + gy * gy + 1);
      float light = (-gx * lx - gy * ly + lz) / len / lz;
      float level = 0.8f * shade * light;
      // Hue is dithered around the wheel, light along the hue's ramp.
      float hv = hue * (kHues - 1) + kit::Bayer(x + 3, y + 5);
      int h = std::clamp(static_cast<int>(std::floor(hv)), 0, kHues - 1);
      kit::Ramp ramp = hues[h];
      if (h == 0) level = std::max(level, 0.1f);
      image.Put(x, y, ramp, std::clamp(level, 0.0f, 1.0f));
    }
  return image;
}
