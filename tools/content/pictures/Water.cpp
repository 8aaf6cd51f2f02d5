// The water scene: the courtyard with its pool (key colour), the glossy ball and the glass lens.
#include <algorithm>
#include <cmath>

#include "Pictures.h"

namespace {

constexpr int kSprite = 158;
constexpr float kCentre = 78.5f;  // sprite centre, between pixels 78 and 79

struct Vec {
  float x, y, z;
};
Vec Normalise(Vec v) {
  float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return {v.x / l, v.y / l, v.z / l};
}
float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

}  // namespace

kit::Image MakeWaterBall() {
  kit::Image image(kSprite, kSprite);
  // Every visible shade keeps blue at 24 or more, so it never turns into the transparent 0.
  kit::Ramp body = image.AddRamp(176, {{0.0f, {6, 8, 36}},
                                       {0.3f, {20, 40, 130}},
                                       {0.62f, {50, 110, 220}},
                                       {0.84f, {140, 200, 255}},
                                       {1.0f, {255, 255, 255}}});
  kit::Ramp rim = image.AddRamp(64, {{0.0f, {6, 8, 36}}, {0.6f, {120, 70, 120}}, {1.0f, {255, 190, 140}}});
  const float radius = 76.0f;
  const Vec light = Normalise({-0.55f, -0.65f, 0.55f});
  const Vec bounce = Normalise({0.6f, 0.7f, 0.2f});
  for (int y = 0; y < kSprite; ++y)
    for (int x = 0; x < kSprite; ++x) {
      float dx = (x - kCentre) / radius, dy = (y - kCentre) / radius;
      float r2 = dx * dx + dy * dy;
      // The outline is dithered against the transparent black, a cheap anti-alias.
      float edge = (1.0f - std::sqrt(r2)) * radius + 0.5f;
      if (edge <= 0.0f || !kit::Image::Cover(x, y, edge)) continue;
      r2 = std::min(r2, 0.999f);
      Vec n{dx, dy, std::sqrt(1.0f - r2)};
      float diffuse = std::max(0.0f, Dot(n, light));
      Vec half = Normalise({light.x, light.y, light.z + 1.0f});
      float specular = std::pow(std::max(0.0f, Dot(n, half)), 80.0f);
      // A soft oval reflection of the sky above the hot spot gives the gloss its shape.
      float wx = (dx + 0.3f) / 0.42f, wy = (dy + 0.52f) / 0.24f;
      float oval = wx * wx + wy * wy;
      float window = oval < 1.0f ? 0.5f * kit::Smooth(1.0f, 0.6f, oval) * (1.0f - 0.6f * (wy + 1) / 2) : 0.0f;
      float shade = 0.08f + 0.6f * diffuse + 0.85f * specular + window;
      float rimLight = std::pow(std::max(0.0f, Dot(n, bounce)), 3.0f) * (1.0f - n.z);
      float rimShare = kit::Smooth(0.05f, 0.3f, rimLight - shade * 0.4f);
      if (kit::Image::Cover(x, y, rimShare))
        image.Put(x, y, rim, std::min(1.0f, rimLight * 1.3f));
      else
        image.Put(x, y, body, std::min(1.0f, shade));
    }
  return image;
}

kit::Image MakeWaterLens() {
  kit::Image image(kSprite, kSprite);
  const int key = image.AddKey();
  kit::Ramp glass = image.AddRamp(120, {{0.0f, {4, 30, 46}},
                                        {0.35f, {20, 96, 120}},
                                        {0.7f, {90, 190, 200}},
                                        {1.0f, {235, 255, 255}}});
  kit::Ramp metal = image.AddRamp(72, {{0.0f, {22, 20, 30}},
                                       {0.4f, {100, 96, 110}},
                                       {0.8f, {200, 198, 210}},
                                       {1.0f, {255, 255, 255}}});
  kit::Ramp caustic = image.AddRamp(48, {{0.0f, {30, 110, 130}}, {1.0f, {250, 255, 230}}});
  const float outer = 78.0f, glassRadius = 70.0f;
  const Vec light = Normalise({-0.5f, -0.7f, 0.5f});
  for (int y = 0; y < kSprite; ++y)
    for (int x = 0; x < kSprite; ++x) {
      float dx = x - kCentre, dy = y - kCentre;
      float r = std::sqrt(dx * dx + dy * dy);
      if (r >= outer) {
        image.Set(x, y, key);
        continue;
      }
      if (r >= glassRadius) {
        // The rim: a rounded metal ring lit from the top left.
        float u = (r - glassRadius) / (outer - glassRadius) * 2 - 1;  // -1 inner edge .. 1 outer
        float nz = std::sqrt(std::max(0.0f, 1 - u * u));
        Vec n{dx / r * u, dy / r * u, nz};
        float shade = 0.15f + 0.7f * std::max(0.0f, Dot(n, light)) +
                      0.5f * std::pow(std::max(0.0f, Dot(n, Normalise({light.x, light.y, light.z + 1}))), 30.0f);
        image.Put(x, y, metal, shade);
        continue;
      }
      // Glass: a magnified, bent grid seen through a lens, darker towards the edge.
      float q = r / glassRadius;
      float bend = 1.0f / (1.0f + 1.4f * (1 - q * q));
      float gx = dx * bend, gy = dy * bend;
      float lines = std::max(std::pow(std::fabs(std::cos(gx * 0.42f)), 40.0f),
                             std::pow(std::fabs(std::cos(gy * 0.42f)), 40.0f));
      float base = 0.6f - 0.42f * q * q * q + 0.18f * (-dx - dy) / (2 * glassRadius);
      float highlight = std::exp(-((dx + 26) * (dx + 26) / 300.0f + (dy + 30) * (dy + 30) / 120.0f));
      float small = std::exp(-((dx - 34) * (dx - 34) + (dy - 36) * (dy - 36)) / 40.0f);
      float ring = std::exp(-std::pow((glassRadius - r - 3.0f) / 1.6f, 2.0f));
      // Light gathered by the lens: a bright crescent inside the lower right of the rim.
      float focus = std::exp(-std::pow((glassRadius - r - 9.0f) / 4.0f, 2.0f)) *
                    kit::Clamp01((dx + dy) / (1.2f * glassRadius));
      float shade = base + 0.22f * lines * (1 - q) + 0.6f * highlight + 0.5f * small +
                    0.35f * ring * (dy < 0 ? 1.0f : 0.5f);
      if (focus > 0.15f && kit::Image::Cover(x, y, focus * 1.4f))
        image.Put(x, y, caustic, focus);
      else
        image.Put(x, y, glass, shade);
    }
  return image;
}

namespace {

// The pool: an oval filling rows 27 to 446 and columns 108 to 526, with a round island.
constexpr float kPoolX = 317.0f, kPoolY = 236.5f, kPoolA = 209.6f, kPoolB = 210.0f;
constexpr float kIsland = 30.0f;
constexpr float kCoping = 26.0f;

// Distance in pixels outside the pool's edge (negative inside), close enough for shading.
float PoolDistance(float x, float y) {
  float ex = (x - kPoolX) / kPoolA, ey = (y - kPoolY) / kPoolB;
  return (std::sqrt(ex * ex + ey * ey) - 1.0f) * kPoolB;
}

}  // namespace

kit::Image MakeWaterBackground() {
  kit::Image image(640, 480);
  const int key = image.AddKey();
  kit::Ramp cream = image.AddRamp(40, {{0.0f, {40, 34, 26}}, {0.6f, {170, 150, 120}}, {1.0f, {240, 228, 200}}});
  kit::Ramp terracotta =
      image.AddRamp(40, {{0.0f, {34, 14, 8}}, {0.6f, {150, 70, 40}}, {1.0f, {225, 140, 90}}});
  kit::Ramp grout = image.AddRamp(10, {{0.0f, {10, 10, 10}}, {1.0f, {70, 66, 60}}});
  kit::Ramp stone =
      image.AddRamp(64, {{0.0f, {22, 22, 26}}, {0.5f, {120, 118, 112}}, {0.85f, {200, 198, 188}}, {1.0f, {250, 248, 240}}});
  kit::Ramp leaves = image.AddRamp(48, {{0.0f, {4, 16, 8}}, {0.5f, {30, 110, 40}}, {1.0f, {190, 240, 120}}});

  const Vec light = Normalise({-0.5f, -0.6f, 0.62f});
  struct Plant {
    float x, y, r;
  };
  const Plant plants[] = {{52, 50, 44}, {588, 52, 44}, {54, 428, 44}, {586, 430, 44}};

  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const float fx = x + 0.5f, fy = y + 0.5f;
      const float d = PoolDistance(fx, fy);
      const float ix = fx - kPoolX, iy = fy - kPoolY;
      const float island = std::sqrt(ix * ix + iy * iy);
      const bool inPool = ((x - kPoolX) * (x - kPoolX)) / (kPoolA * kPoolA) +
                              ((y - kPoolY) * (y - kPoolY)) / (kPoolB * kPoolB) <=
                          1.0f;
      if (inPool && island > kIsland) {
        image.Set(x, y, key);
        continue;
      }
      const float grain = kit::Fbm(fx / 24, fy / 24, 64, 5, 4);
      if (inPool || d < kCoping) {
        if (inPool) {
          // The island is a little fountain: a rounded plinth, a sunken bowl, a column with a cap.
          auto height = [](float r) {
            float plinth = 6.0f * std::sin(kit::Clamp01((kIsland - r) / 6.0f) * 1.5707963f);
            float bowl = -4.0f * kit::Smooth(19.0f, 16.0f, r) * kit::Smooth(6.0f, 9.0f, r);
            float column = 7.0f * kit::Smooth(8.0f, 6.0f, r) + 3.0f * std::sqrt(std::max(0.0f, 1 - r * r / 16.0f));
            return plinth + bowl + column;
          };
          float slope = (height(island + 0.5f) - height(island - 0.5f));
          float rx = ix / std::max(island, 1.0f), ry = iy / std::max(island, 1.0f);
          Vec n = Normalise({-rx * slope, -ry * slope, 1.0f});
          float lit = std::max(0.0f, Dot(n, light)) / light.z;
          float wet = island > 8.0f && island < 18.0f ? 0.55f : 1.0f;  // the bowl holds dark water
          image.Put(x, y, stone, (0.2f + 0.5f * lit + 0.2f * (grain - 0.5f)) * wet +
                                    0.5f * std::pow(std::max(0.0f, Dot(n, Normalise({light.x, light.y, light.z + 1}))), 40.0f));
          continue;
        }
        // The coping: a rounded profile rising from both its edges to the crest.
        float u = 1.0f - std::fabs(2 * d / kCoping - 1);
        float len = std::max(1.0f, std::sqrt(ix * ix + iy * iy));
        float rx = ix / len, ry = iy / len;
        if (d / kCoping > 0.5f) rx = -rx, ry = -ry;
        float slope = std::cos(u * 1.5707963f) * 1.6f;
        Vec n = Normalise({-rx * slope, -ry * slope, 1.0f});
        float shade = 0.25f + 0.55f * std::max(0.0f, Dot(n, light)) / light.z * 0.8f + 0.25f * (grain - 0.5f);
        // Joints between the coping's blocks.
        float angle = std::atan2(iy, ix) * 36.0f / 6.2831853f;
        if (std::fabs(angle - std::round(angle)) * (kPoolA + 12) * 6.2831853f / 36.0f < 0.9f) shade *= 0.45f;
        image.Put(x, y, stone, shade);
        continue;
      }
      // Plants in round pots at the corners.
      bool drawn = false;
      for (const Plant& p : plants) {
        float px = fx - p.x, py = fy - p.y, pr = std::sqrt(px * px + py * py);
        if (pr > p.r) continue;
        float angle = std::atan2(py, px);
        float leaf = 0.5f + 0.5f * std::cos(angle * 11.0f + pr * 0.035f);
        float bush = p.r * (0.78f + 0.14f * leaf + 0.08f * kit::Fbm(angle * 3, pr / 8, 64, 9, 3));
        if (pr > bush) {
          // The pot's rim shows around the foliage.
          float rim = (pr - bush) / (p.r - bush + 0.01f);
          image.Put(x, y, terracotta, 0.45f + 0.4f * (1 - rim) * (-(px + py) / (2 * p.r) + 0.6f));
        } else {
          float h = 1.0f - pr / bush;
          float lit = kit::Clamp01(0.45f + 0.5f * (-(px * 0.6f + py * 0.7f) / p.r) + 0.35f * h);
          float vein = std::pow(std::fabs(std::sin(angle * 11.0f + pr * 0.035f)), 8.0f) * (pr / p.r);
          image.Put(x, y, leaves, lit * (0.65f + 0.35f * leaf) - 0.25f * vein + 0.15f * (grain - 0.5f));
        }
        drawn = true;
      }
      if (drawn) continue;
      // Floor: cream and terracotta tiles set diagonally, with grout lines.
      float sx = (fx + fy) / 34.0f, sy = (fx - fy) / 34.0f;
      float cx = sx - std::floor(sx), cy = sy - std::floor(sy);
      bool dark = (static_cast<int>(std::floor(sx)) + static_cast<int>(std::floor(sy))) & 1;
      float edgeDist = std::min({cx, cy, 1 - cx, 1 - cy}) * 34.0f / 1.41421356f;
      // Shadows of the coping and of the pots fall to the lower right.
      float shadow = 1.0f;
      if (PoolDistance(fx - 9, fy - 11) < kCoping) shadow = 0.55f;
      for (const Plant& p : plants) {
        float px = fx - 10 - p.x, py = fy - 12 - p.y;
        if (px * px + py * py < p.r * p.r) shadow = 0.5f;
      }
      if (edgeDist < 1.2f) {
        image.Put(x, y, grout, 0.7f * shadow);
        continue;
      }
      float bevel = edgeDist < 3.0f ? ((cx < 0.5f) == (cy < 0.5f) ? 0.12f : -0.08f) : 0.0f;
      float vein = std::pow(1.0f - std::fabs(std::sin(sx * 2.1f + sy * 1.3f + 6.0f * grain)), 10.0f);
      float tone = 0.62f + bevel + 0.18f * (grain - 0.5f) - 0.15f * vein;
      image.Put(x, y, dark ? terracotta : cream, tone * shadow);
    }
  return image;
}
