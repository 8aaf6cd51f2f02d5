// Expected frames for the scene tests: what the display shows for a virtual screen of the show,
// built independently of the effects.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "assets/Assets.h"
#include "effects/Pcx.h"
#include "testing.h"

namespace scenetest {

using Screen = std::vector<uint16_t>;  // 640 x 480, rows back to back

inline Screen Filled(uint16_t pixel) { return Screen(640 * 480, pixel); }

// mode 0: 5:6:5 full screen; mode 1: 5:5:5 overlay.
inline uint16_t Colour(int r, int g, int b, int mode) {
  if (mode == 0) return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
  return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}
inline uint16_t Grey(int level, int mode) { return Colour(8 * level, 8 * level, 8 * level, mode); }

// The display's 8-bit expansion of a 16-bit pixel.
inline uint32_t Shown(uint16_t p, int mode) {
  const uint32_t r = mode == 0 ? (p >> 11) & 31 : (p >> 10) & 31;
  const uint32_t g = mode == 0 ? (p >> 5) & 63 : (p >> 5) & 31;
  const uint32_t b = p & 31;
  const uint32_t g8 = mode == 0 ? (g << 2) | (g >> 4) : (g << 3) | (g >> 2);
  return ((r << 3 | r >> 2) << 16) | (g8 << 8) | (b << 3 | b >> 2);
}

inline vemora::testing::Picture ShownFrame(const Screen& screen, int mode) {
  vemora::testing::Picture picture;
  picture.width = 640;
  picture.height = 480;
  for (uint16_t p : screen) picture.pixels.push_back(Shown(p, mode));
  return picture;
}

// Equal pictures, or how many pixels differ and where the first one is.
inline ::testing::AssertionResult SameFrame(const vemora::testing::Picture& actual,
                                            const vemora::testing::Picture& expected) {
  if (actual.width != expected.width || actual.height != expected.height)
    return ::testing::AssertionFailure() << "size " << actual.width << "x" << actual.height;
  int differing = 0, first = -1;
  for (size_t i = 0; i < actual.pixels.size(); ++i)
    if (actual.pixels[i] != expected.pixels[i]) {
      if (first < 0) first = static_cast<int>(i);
      ++differing;
    }
  if (differing == 0) return ::testing::AssertionSuccess();
  char text[128];
  std::snprintf(text, sizeof text, "%d pixels differ, first at (%d, %d): %06X instead of %06X", differing,
                first % 640, first / 640, actual.pixels[first], expected.pixels[first]);
  return ::testing::AssertionFailure() << text;
}

// Tests that run in both display formats: 0 full screen (5:6:5), 1 windowed overlay (5:5:5).
class InBothModes : public ::testing::TestWithParam<int> {
 protected:
  int Mode() const { return GetParam(); }
};
inline std::string ModeName(const ::testing::TestParamInfo<int>& info) {
  return info.param == 0 ? "FullScreen565" : "Windowed555";
}

// A decoded picture of the show, its colours at fade level `level` of 63.
struct Image {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> rgb;  // R, G, B, 0 per entry
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
