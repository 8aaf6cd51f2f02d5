// Helpers for the effect suites: display colours read back from presented frames, and frame hashes.
#pragma once
#include <cstdint>

#include "SceneStage.h"

namespace fxtest {

namespace vt = vemora::testing;
constexpr int kW = 640, kH = 480;

// mode 0: 5:6:5, 1: 5:5:5.
inline uint16_t Colour(uint32_t r, uint32_t g, uint32_t b, int mode) {
  return static_cast<uint16_t>(mode == 0 ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3 : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
}
// The 16-bit pixel behind a presented 0xRRGGBB (the host widens each field by repeating its top bits).
inline uint16_t Packed(uint32_t rgb, int mode) { return Colour(rgb >> 16 & 255, rgb >> 8 & 255, rgb & 255, mode); }

inline uint64_t Hash(const vt::Picture& picture) {
  uint64_t h = 14695981039346656037ull;
  for (uint32_t p : picture.pixels) h = (h ^ p) * 1099511628211ull;
  return h;
}

}  // namespace fxtest
