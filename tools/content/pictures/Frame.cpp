// The rotozoom's frame: the front of a steel machine with a monitor whose dark window, columns
// 171 to 479 and rows 122 to 357, the rotozoom fills.
#include <algorithm>
#include <cmath>

#include "Pictures.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr int kWinX0 = 171, kWinY0 = 122, kWinX1 = 479, kWinY1 = 357;

enum Material : uint8_t { kSteel, kTrim, kGlass, kBrass, kKnob, kRed, kGreen, kAmber };

// Signed distance to a rounded rectangle (negative inside).
float RoundRect(float x, float y, float x0, float y0, float x1, float y1, float r) {
  float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  float hx = (x1 - x0) / 2 - r, hy = (y1 - y0) / 2 - r;
  float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
  float outside = std::sqrt(std::max(qx, 0.0f) * std::max(qx, 0.0f) + std::max(qy, 0.0f) * std::max(qy, 0.0f));
  return outside + std::min(std::max(qx, qy), 0.0f) - r;
}

// A raised shape of height `height` with a rounded bevel `bevel` wide, from its signed distance.
float Raise(float sd, float height, float bevel) {
  float t = kit::Clamp01(-sd / bevel);
  return height * std::sin(t * 1.5707963f);
}

struct Scene {
  std::vector<float> height = std::vector<float>(kW * kH, 0.0f);
  std::vector<uint8_t> material = std::vector<uint8_t>(kW * kH, kSteel);
  float& H(int x, int y) { return height[y * kW + x]; }
  uint8_t& M(int x, int y) { return material[y * kW + x]; }
};

}  // namespace

kit::Image MakeRotoFrame(const glyphs::Font& font) {
  kit::Image image(kW, kH);
  kit::Ramp steel = image.AddRamp(96, {{0.0f, {10, 12, 16}},
                                       {0.45f, {96, 104, 116}},
                                       {0.8f, {178, 186, 198}},
                                       {1.0f, {248, 250, 255}}});
  kit::Ramp glass = image.AddRamp(10, {{0.0f, {0, 0, 0}}, {1.0f, {16, 22, 30}}});
  kit::Ramp brass = image.AddRamp(40, {{0.0f, {30, 18, 4}}, {0.55f, {170, 120, 40}}, {1.0f, {255, 236, 160}}});
  kit::Ramp knob = image.AddRamp(32, {{0.0f, {6, 6, 8}}, {0.7f, {70, 70, 80}}, {1.0f, {210, 210, 220}}});
  kit::Ramp red = image.AddRamp(14, {{0.0f, {40, 0, 0}}, {0.6f, {230, 30, 20}}, {1.0f, {255, 220, 200}}});
  kit::Ramp green = image.AddRamp(14, {{0.0f, {0, 30, 0}}, {0.6f, {40, 220, 60}}, {1.0f, {220, 255, 210}}});
  kit::Ramp amber = image.AddRamp(14, {{0.0f, {40, 20, 0}}, {0.6f, {250, 160, 20}}, {1.0f, {255, 240, 190}}});

  Scene s;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const float fx = x + 0.5f, fy = y + 0.5f;
      float h = 0;
      uint8_t m = kSteel;
      // Seams between the front plates.
      for (float seam : {134.0f, 518.0f}) h -= 2.5f * std::exp(-(fx - seam) * (fx - seam) / 2.0f);
      h -= 2.5f * std::exp(-(fy - 394) * (fy - 394) / 2.0f);
      // Vent slots above the monitor.
      for (int i = 0; i < 16; ++i) {
        float sx0 = 196 + i * 16.0f;
        float sd = RoundRect(fx, fy, sx0, 30, sx0 + 8, 72, 4);
        h -= Raise(sd, 5.0f, 2.5f);
      }
      // Speaker grille on the left.
      if (fx > 26 && fx < 112 && fy > 118 && fy < 364) {
        float gx = std::fmod(fx - 26, 11.0f) - 5.5f, gy = std::fmod(fy - 118 + ((static_cast<int>((fx - 26) / 11) & 1) ? 5.5f : 0), 11.0f) - 5.5f;
        float d = std::sqrt(gx * gx + gy * gy) - 3.4f;
        h -= Raise(d, 4.0f, 1.5f);
      }
      // The monitor: a raised bezel, a sloping recess and a bright trim around the window.
      float bezel = RoundRect(fx, fy, 142, 92, 508, 388, 24);
      h += Raise(bezel, 10.0f, 8.0f);
      float recess = RoundRect(fx, fy, kWinX0 - 16, kWinY0 - 16, kWinX1 + 17, kWinY1 + 17, 10);
      if (recess < 0) {
        float toWindow = RoundRect(fx, fy, kWinX0, kWinY0, kWinX1 + 1, kWinY1 + 1, 0);
        h = 10.0f - 8.0f * kit::Clamp01(1.0f - toWindow / 16.0f);
        if (toWindow < 3.0f) m = kTrim;
      }
      if (x >= kWinX0 && x <= kWinX1 && y >= kWinY0 && y <= kWinY1) {
        h = 0;
        m = kGlass;
      }
      // Knobs and lamps on the right.
      for (int i = 0; i < 3; ++i) {
        float kx = 566, ky = 150 + i * 72.0f;
        float d = std::sqrt((fx - kx) * (fx - kx) + (fy - ky) * (fy - ky));
        h -= Raise(d - 26, 2.0f, 3.0f);  // a shallow well
        if (d < 20) {
          float angle = std::atan2(fy - ky, fx - kx);
          float ridges = d > 16 ? 0.8f * std::fabs(std::sin(angle * 18)) : 0.0f;
          // Each knob points somewhere else.
          float pointer = angle - (-2.2f + i * 1.3f);
          pointer = std::fabs(std::atan2(std::sin(pointer), std::cos(pointer)));
          float notch = (pointer < 0.12f && d > 5 && d < 15) ? 2.5f : 0.0f;
          h = 14.0f * std::sin(kit::Clamp01((20 - d) / 5) * 1.5707963f) - ridges - notch + 2;
          m = kKnob;
        }
      }
      const Material lamps[] = {kRed, kGreen, kAmber};
      for (int i = 0; i < 3; ++i) {
        float lx = 548 + i * 18.0f, ly = 350;
        float d = std::sqrt((fx - lx) * (fx - lx) + (fy - ly) * (fy - ly));
        if (d < 6) {
          h = 3 + std::sqrt(36 - d * d);
          m = lamps[i];
        } else if (d < 8) {
          h = 1.0f;
        }
      }
      // Screws at the plate corners.
      for (float sx : {16.0f, 118.0f, 150.0f, 500.0f, 534.0f, 624.0f})
        for (float sy : {16.0f, 378.0f, 410.0f, 464.0f}) {
          if (RoundRect(sx, sy, 142, 92, 508, 388, 24) < 8) continue;  // not on the bezel
          float d = std::sqrt((fx - sx) * (fx - sx) + (fy - sy) * (fy - sy));
          if (d < 6) {
            h = std::sqrt(36 - d * d) * 0.6f;
            float slot = std::fabs((fx - sx) * 0.6f + (fy - sy) * 0.8f);
            if (slot < 1.0f) h -= 1.5f;
          }
        }
      s.H(x, y) = h;
      s.M(x, y) = m;
    }
  // The brass name plate, with the maker's name engraved in the show's font.
  const std::string name = "VEMORA";
  const float inkWidth = kit::InkWidth(font, name, 1.0f);
  const float plateX0 = 320 - inkWidth / 2 - 22, plateX1 = 320 + inkWidth / 2 + 22;
  const float ox = std::floor(320 - inkWidth / 2) - 2, oy = 405;
  std::vector<float> letters = kit::Lettering(font, name, kW, kH, ox, oy, 1.0f, 1.0f);
  for (int y = 400; y < 456; ++y)
    for (int x = 0; x < kW; ++x) {
      float sd = RoundRect(x + 0.5f, y + 0.5f, plateX0, 404, plateX1, 454, 5);
      if (sd >= 0) continue;
      s.H(x, y) = Raise(sd, 4.0f, 3.0f) - 3.0f * letters[y * kW + x];
      s.M(x, y) = kBrass;
    }

  const float lx = -0.5f, ly = -0.6f, lz = 0.62f;
  const float hx = lx, hy = ly, hz = lz + 1;
  const float hl = std::sqrt(hx * hx + hy * hy + hz * hz);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      auto H = [&](int xx, int yy) { return s.H(std::clamp(xx, 0, kW - 1), std::clamp(yy, 0, kH - 1)); };
      float gx = (H(x + 1, y) - H(x - 1, y)) * 0.5f, gy = (H(x, y + 1) - H(x, y - 1)) * 0.5f;
      float len = std::sqrt(gx * gx + gy * gy + 1);
      float nx = -gx / len, ny = -gy / len, nz = 1 / len;
      float diffuse = std::max(0.0f, nx * lx + ny * ly + nz * lz);
      float specular = std::pow(std::max(0.0f, (nx * hx + ny * hy + nz * hz) / hl), 24.0f);
      switch (s.M(x, y)) {
        case kGlass: {
          // A faint reflection across the dark screen; the window stays nearly black.
          float band = std::exp(-std::pow((x - kWinX0) * 0.6f + (y - kWinY0) - 90.0f, 2.0f) / 2000.0f);
          image.Put(x, y, glass, 0.2f + 0.6f * band * (1.0f - (y - kWinY0) / 236.0f));
          break;
        }
        case kTrim:
          image.Put(x, y, steel, 0.62f + 0.3f * diffuse + 0.1f * specular);
          break;
        case kBrass:
          image.Put(x, y, brass, 0.1f + 0.75f * diffuse + 0.4f * specular);
          break;
        case kKnob:
          image.Put(x, y, knob, 0.08f + 0.6f * diffuse + 0.6f * specular);
          break;
        case kRed:
        case kGreen:
        case kAmber: {
          kit::Ramp lamp = s.M(x, y) == kRed ? red : s.M(x, y) == kGreen ? green : amber;
          image.Put(x, y, lamp, 0.45f + 0.3f * diffuse + 0.6f * specular);
          break;
        }
        default: {
          // Brushed steel: fine horizontal streaks.
          float brushed = kit::Fbm(x / 160.0f, y * 1.3f, 64, 21, 3) - 0.5f;
          float grime = kit::Fbm(x / 70.0f, y / 70.0f, 64, 22, 4) - 0.5f;
          image.Put(x, y, steel, 0.12f + 0.55f * diffuse + 0.35f * specular + 0.12f * brushed + 0.1f * grime);
        }
      }
    }
  return image;
}
