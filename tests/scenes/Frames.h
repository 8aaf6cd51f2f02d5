// Expected frames for the scene tests, built without the effects: what the display shows for a
// virtual screen, and the pictures of the show decoded.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "SceneStage.h"
#include "assets/Assets.h"
#include "effects/Pcx.h"
#include "testing.h"

namespace scenetest {

using Screen = std::vector<uint16_t>;  // 640 x 480, rows back to back

// Tests that run in both display formats: 0 full screen (5:6:5), 1 windowed overlay (5:5:5).
class InBothModes : public ::testing::TestWithParam<int> {
 protected:
  int Mode() const { return GetParam(); }
};
inline std::string ModeName(const ::testing::TestParamInfo<int>& info) { return info.param ? "Windowed555" : "FullScreen565"; }

inline uint16_t Grey(int level, int mode) { return Colour(8 * level, 8 * level, 8 * level, mode); }

// The display's expansion of a 16-bit pixel to 8 bits a channel.
inline uint32_t Shown(uint16_t p, int mode) {
  const uint32_t r = p >> (mode == 0 ? 11 : 10) & 31, g = mode == 0 ? (p >> 5 & 63) << 2 : (p >> 5 & 31) << 3, b = p & 31;
  return (r << 3 | r >> 2) << 16 | (g | g >> (mode == 0 ? 6 : 5)) << 8 | (b << 3 | b >> 2);
}

// Compares a presented frame with the expected screen; on a difference tells how many and where.
inline ::testing::AssertionResult Shows(const vemora::testing::Picture& actual, const Screen& expected, int mode) {
  if (actual.pixels.size() != expected.size()) return ::testing::AssertionFailure() << "no frame";
  int differing = 0, first = -1;
  for (size_t i = 0; i < expected.size(); ++i)
    if (actual.pixels[i] != Shown(expected[i], mode) && differing++ == 0) first = static_cast<int>(i);
  if (differing == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differing << " pixels differ, first at (" << first % 640 << ", " << first / 640
                                       << ")";
}

// A picture of the show, its colours at fade level `level` of 63.
struct Image {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> pixels, rgb;  // rgb: R, G, B, 0 per entry
  uint16_t At(int x, int y, int mode, int level = 63) const {
    const uint8_t* c = &rgb[4 * pixels[static_cast<size_t>(y) * width + x]];
    return Colour(c[0] * level / 63, c[1] * level / 63, c[2] * level / 63, mode);
  }
};

inline Image Decode(Asset asset) {
  Image image;
  uint8_t *pixels = nullptr, *palette = nullptr;
  if (PcxDecode(asset.data, asset.size, &pixels, &palette, &image.width, &image.height)) return image;
  image.pixels.assign(pixels, pixels + image.width * image.height);
  image.rgb.assign(palette, palette + 1024);
  delete[] pixels;
  delete[] palette;
  return image;
}

}  // namespace scenetest
