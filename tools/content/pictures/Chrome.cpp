#include "Chrome.h"

#include <algorithm>
#include <cmath>

namespace chrome {

using kit::Rgb;

Ramps AddRamps(kit::Image& image, int skySize, int groundSize, int outlineSize, int glintSize) {
  Ramps r;
  r.sky = image.AddRamp(skySize, {{0.0f, {18, 26, 84}},
                                  {0.45f, {70, 120, 210}},
                                  {0.8f, {170, 210, 250}},
                                  {1.0f, {250, 252, 255}}});
  r.ground = image.AddRamp(groundSize, {{0.0f, {40, 20, 12}},
                                        {0.25f, {120, 62, 26}},
                                        {0.65f, {222, 160, 86}},
                                        {1.0f, {255, 242, 206}}});
  r.outline = image.AddRamp(outlineSize, {{0.0f, {0, 0, 0}}, {1.0f, {16, 22, 58}}});
  r.glint = image.AddRamp(glintSize, {{0.0f, {120, 150, 220}}, {1.0f, {255, 255, 255}}});
  return r;
}

std::vector<uint8_t> Paint(kit::Image& image, const std::vector<float>& coverage, const Ramps& ramps,
                           const Style& style) {
  const int w = image.width, h = image.height;
  std::vector<uint8_t> inside(coverage.size()), outside(coverage.size());
  for (size_t i = 0; i < coverage.size(); ++i) {
    inside[i] = coverage[i] >= 0.5f;
    outside[i] = !inside[i];
  }
  std::vector<float> din = kit::DistanceInside(inside, w, h);
  std::vector<float> dout = kit::DistanceInside(outside, w, h, true);
  std::vector<float> height(coverage.size());
  for (size_t i = 0; i < height.size(); ++i) {
    float t = std::min(din[i] / style.bevel, 1.0f);
    height[i] = 1 - (1 - t) * (1 - t);
  }
  auto H = [&](int x, int y) {
    x = std::clamp(x, 0, w - 1);
    y = std::clamp(y, 0, h - 1);
    return height[y * w + x];
  };
  const float lx = -0.45f, ly = -0.65f, lz = 0.61f;
  std::vector<uint8_t> painted(coverage.size(), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y) * w + x;
      if (inside[i]) {
        float gx = (H(x + 1, y) - H(x - 1, y)) * 0.5f * style.bevel;
        float gy = (H(x, y + 1) - H(x, y - 1)) * 0.5f * style.bevel;
        float nx = -gx, ny = -gy, nz = 1.0f;
        float len = std::sqrt(nx * nx + ny * ny + nz * nz);
        nx /= len, ny /= len, nz /= len;
        float face = (y - style.faceTop) / (style.faceBottom - style.faceTop);
        float s = 0.1f + 0.8f * face + 0.55f * ny + 0.12f * nx;
        // A wavy horizon keeps long letters from looking flat.
        s += 0.03f * std::sin(x * 0.045f);
        float light = nx * lx + ny * ly + nz * lz;
        float glint = kit::Smooth(0.84f, 0.97f, light) * (1.0f - 0.7f * height[i]);
        if (glint > 0.4f) {
          image.Put(x, y, ramps.glint, glint);
        } else if (s < 0.5f) {
          image.Put(x, y, ramps.sky, s / 0.5f);
        } else {
          image.Put(x, y, ramps.ground, (s - 0.5f) / 0.5f);
        }
        painted[i] = 1;
      } else if (dout[i] <= style.outline + 1.0f) {
        float t = 1.0f - std::max(0.0f, dout[i] - style.outline);
        image.Put(x, y, ramps.outline, t);
        painted[i] = 1;
      }
    }
  return painted;
}

void Sparkle(kit::Image& image, const Ramps& ramps, float cx, float cy, float size) {
  int r = static_cast<int>(size) + 1;
  for (int y = static_cast<int>(cy) - r; y <= static_cast<int>(cy) + r; ++y)
    for (int x = static_cast<int>(cx) - r; x <= static_cast<int>(cx) + r; ++x) {
      if (x < 0 || y < 0 || x >= image.width || y >= image.height) continue;
      float dx = std::fabs(x - cx), dy = std::fabs(y - cy);
      float arms = std::max(std::exp(-dy * 1.6f) * (1 - dx / size), std::exp(-dx * 1.6f) * (1 - dy / size));
      float core = std::exp(-(dx * dx + dy * dy) / (size * 0.6f));
      float v = std::max(arms, core);
      if (v > 0.25f) image.Put(x, y, ramps.glint, (v - 0.25f) / 0.75f);
    }
}

}  // namespace chrome
