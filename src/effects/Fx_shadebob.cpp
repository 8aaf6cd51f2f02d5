#include "effects/Fx_shadebob.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "display/Vscreentools.h"
#include "app/Random.h"
#include "effects/Font.h"

namespace {

constexpr int32_t kBobSize = 50;
constexpr int32_t kBobsPerFrame = 16;

uint8_t* hitCounts = nullptr;  // one counter per pixel, wrapping at 256; null: nothing is drawn

void StampBob(int32_t x, int32_t y) {
  for (int32_t j = 0; j < kBobSize; ++j) {
    const int32_t at = (y + j) * kScreenWidth + x;
    uint8_t* counts = hitCounts + at;
    uint16_t* pixels = vscreen + at;
    for (int32_t k = 0; k < kBobSize; ++k) pixels[k] = ++counts[k];  // the count is the pixel value itself
  }
}

}  // namespace

void BobsStart() {
  BobsEnd();
  if (!vscreen) return;
  std::memset(vscreen, 0, kScreenWidth * kScreenHeight * sizeof(uint16_t));
  hitCounts = new (std::nothrow) uint8_t[kScreenWidth * kScreenHeight];
  if (hitCounts) std::memset(hitCounts, 0, kScreenWidth * kScreenHeight);
}

bool BobsUpdate(int) { return false; }

void BobsRender() {
  if (!hitCounts) return;
  for (int32_t n = 0; n < kBobsPerFrame; ++n) {
    const int32_t x = Random() % (kScreenWidth - kBobSize);  // never the last column or row
    const int32_t y = Random() % (kScreenHeight - kBobSize);
    StampBob(x, y);
  }
  textTarget = vscreen;
  textColour = 0xFFFF;
  DrawText(16, 8, textSouvenirs);
}

void BobsEnd() {
  delete[] hitCounts;
  hitCounts = nullptr;
}
