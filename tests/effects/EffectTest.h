// Helpers for the effect suites: display colours read back from presented frames, and frame hashes.
#pragma once
#include <cstdint>

#include "SceneStage.h"

namespace fxtest {

namespace vt = vemora::testing;
constexpr int kW = 640, kH = 480;

using scenetest::Colour;
// The 16-bit pixel behind a presented 0xRRGGBB (the host widens each field by repeating its top bits).
inline uint16_t Packed(uint32_t rgb, int mode) { return Colour(rgb >> 16 & 255, rgb >> 8 & 255, rgb & 255, mode); }

inline uint64_t Hash(const vt::Picture& picture) {
  uint64_t h = 14695981039346656037ull;
  for (uint32_t p : picture.pixels) h = (h ^ p) * 1099511628211ull;
  return h;
}

}  // namespace fxtest
