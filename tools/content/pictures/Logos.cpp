// The two wordmarks of the opening presentation: chrome on black, 512 x 138.
#include <cmath>

#include "Chrome.h"
#include "Pictures.h"

kit::Image MakeLogo(const glyphs::Font& font, const std::string& word, uint32_t seed) {
  kit::Image image(512, 138);
  chrome::Ramps ramps = chrome::AddRamps(image, 80, 80, 24, 40);
  const float sx = 2.75f, sy = 3.1f;
  const float inkWidth = kit::InkWidth(font, word, sx);
  const float ox = std::floor((512 - inkWidth) / 2) - 2 * sx;
  const float capTop = std::floor((138 - 29 * sy) / 2);
  const float oy = capTop - 9 * sy;
  std::vector<float> coverage = kit::Lettering(font, word, 512, 138, ox, oy, sx, sy);
  chrome::Style style;
  style.bevel = 5;
  style.outline = 3;
  style.faceTop = capTop;
  style.faceBottom = capTop + 29 * sy;
  chrome::Paint(image, coverage, ramps, style);
  // Glints on two letter corners, placed from the seed so the two logos differ.
  chrome::Sparkle(image, ramps, ox + 2 * sx + 4, capTop + 3, 14);
  float second = ox + inkWidth * (0.55f + 0.2f * kit::Hash01(seed, 1, 7));
  chrome::Sparkle(image, ramps, second, capTop + 29 * sy - 4, 10);
  return image;
}
