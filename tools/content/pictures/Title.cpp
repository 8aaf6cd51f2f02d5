// The title picture: the show's name in chrome over a night sky and a glowing grid floor.
#include <algorithm>
#include <cmath>

#include "Chrome.h"
#include "Pictures.h"

kit::Image MakeTitle(const glyphs::Font& font) {
  kit::Image image(640, 480);
  chrome::Ramps ramps = chrome::AddRamps(image, 40, 40, 12, 20);
  kit::Ramp sky = image.AddRamp(32, {{0.0f, {0, 0, 8}}, {0.55f, {26, 10, 60}}, {0.85f, {90, 30, 100}}, {1.0f, {220, 110, 120}}});
  kit::Ramp stars = image.AddRamp(10, {{0.0f, {40, 40, 80}}, {1.0f, {255, 255, 255}}});
  kit::Ramp planet = image.AddRamp(26, {{0.0f, {10, 4, 24}}, {0.5f, {120, 50, 110}}, {1.0f, {255, 200, 170}}});
  kit::Ramp floor = image.AddRamp(20, {{0.0f, {0, 0, 6}}, {0.7f, {30, 8, 50}}, {1.0f, {110, 40, 100}}});
  kit::Ramp grid = image.AddRamp(22, {{0.0f, {30, 10, 60}}, {0.6f, {40, 150, 220}}, {1.0f, {210, 250, 255}}});
  kit::Ramp glow = image.AddRamp(10, {{0.0f, {0, 0, 10}}, {1.0f, {90, 40, 150}}});
  kit::Ramp caption = image.AddRamp(12, {{0.0f, {30, 30, 60}}, {1.0f, {230, 230, 255}}});

  const int horizon = 300;
  // Sky, stars and a ringed planet.
  const float planetX = 480, planetY = 92, planetR = 56;
  for (int y = 0; y < horizon; ++y)
    for (int x = 0; x < 640; ++x) {
      float t = std::pow(y / static_cast<float>(horizon), 1.6f);
      t += 0.06f * (kit::Fbm(x / 90.0f, y / 45.0f, 64, 3, 4) - 0.5f);
      image.Put(x, y, sky, t);
      float px = x - planetX, py = y - planetY;
      float pr = std::sqrt(px * px + py * py);
      // The ring, tilted, drawn behind the planet's upper half and in front of its lower half.
      float rx = px * 0.94f + py * 0.34f, ry = (-px * 0.34f + py * 0.94f) * 4.2f;
      float rr = std::sqrt(rx * rx + ry * ry);
      bool ring = rr > planetR * 1.35f && rr < planetR * 1.9f && std::fmod(rr, 9.0f) > 2.0f;
      bool front = ry > 0;
      if (pr < planetR && !(ring && front)) {
        float nz = std::sqrt(1 - (pr / planetR) * (pr / planetR));
        float lit = std::max(0.0f, (-px * 0.7f - py * 0.3f) / planetR * 0.8f + nz * 0.5f);
        float bands = 0.08f * std::sin(py * 0.3f + 2 * kit::Fbm(px / 20, py / 6, 64, 4, 3));
        image.Put(x, y, planet, lit * 0.9f + bands);
      } else if (ring) {
        float lit = 0.35f + 0.4f * (rr / planetR - 1.35f) / 0.55f;
        if (!front && pr < planetR * 1.1f) lit *= 0.5f;
        image.Put(x, y, planet, lit);
      } else if (kit::Hash01(x, y, 77) > 0.9975f) {
        image.Set(x, y, stars.base + static_cast<int>(kit::Hash01(x, y, 78) * stars.size));
      }
    }
  // Floor: a glowing grid running to the horizon, fading into a haze.
  for (int y = horizon; y < 480; ++y) {
    float depth = 120.0f / (y - horizon + 4);  // distance along the floor
    for (int x = 0; x < 640; ++x) {
      float wx = (x - 320) * depth / 60.0f, wz = depth * 6.0f;
      // Distances to the nearest grid lines, in screen pixels.
      float rows = (y - horizon + 4) * (y - horizon + 4) / 720.0f;  // screen rows per line step
      float toX = std::fabs(wx - std::round(wx)) * 60.0f / depth;
      float toZ = std::fabs(wz - std::round(wz)) * rows;
      float width = 1.3f + 1.6f * (y - horizon) / 180.0f;
      float on = std::max(kit::Smooth(width, width - 1.4f, toX), kit::Smooth(width, width - 1.4f, toZ));
      // Lines closer together than a few pixels would melt into a band: they fade into the haze.
      float fade = kit::Smooth(1.5f, 7.0f, rows);
      float haze = std::exp(-(y - horizon) / 22.0f);
      if (on > 0.25f && kit::Image::Cover(x, y, fade))
        image.Put(x, y, grid, std::min(1.0f, on * 0.75f + 0.25f * fade));
      else
        image.Put(x, y, floor, 0.3f * (1 - haze) + haze * 0.95f);
    }
  }
  // The name in chrome, with a soft violet halo behind.
  const std::string name = "Marquelite";
  const float sx = 3.0f, sy = 3.4f;
  const float inkWidth = kit::InkWidth(font, name, sx);
  const float ox = std::floor((640 - inkWidth) / 2) - 2 * sx;
  const float capTop = 128;
  const float oy = capTop - 9 * sy;
  std::vector<float> coverage = kit::Lettering(font, name, 640, 480, ox, oy, sx, sy);
  std::vector<uint8_t> letters(coverage.size());
  for (size_t i = 0; i < coverage.size(); ++i) letters[i] = coverage[i] < 0.5f;
  std::vector<float> away = kit::DistanceInside(letters, 640, 480, true);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      float d = away[y * 640 + x];
      if (d > 4 && d < 26 && y < horizon) {
        float g = std::pow(1.0f - (d - 4) / 22.0f, 2.0f);
        if (kit::Image::Cover(x, y, g * 1.5f)) image.Put(x, y, glow, g);
      }
    }
  chrome::Style style;
  style.bevel = 6;
  style.outline = 3;
  style.faceTop = capTop;
  style.faceBottom = capTop + 29 * sy;
  chrome::Paint(image, coverage, ramps, style);
  chrome::Sparkle(image, ramps, ox + 2 * sx + 3, capTop + 2, 18);
  chrome::Sparkle(image, ramps, ox + inkWidth * 0.78f, capTop + 29 * sy - 3, 12);
  // The makers' names under the title in the show's own font, outlined against the glow.
  const std::string byline = "Vemora and Halvorine";
  const float bx = std::floor((640 - kit::InkWidth(font, byline, 1.0f)) / 2) - 2;
  const float by = 236;
  std::vector<float> small = kit::Lettering(font, byline, 640, 480, bx, by, 1.0f, 1.0f);
  std::vector<uint8_t> clear(small.size());
  for (size_t i = 0; i < small.size(); ++i) clear[i] = small[i] < 0.5f;
  std::vector<float> near = kit::DistanceInside(clear, 640, 480, true);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const size_t i = static_cast<size_t>(y) * 640 + x;
      if (small[i] >= 0.5f)
        image.Put(x, y, caption, 1.0f - (y - by - 9) / 36.0f);
      else if (near[i] <= 2.0f)
        image.Set(x, y, 0);
    }
  return image;
}
