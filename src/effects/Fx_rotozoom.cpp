#include "effects/Fx_rotozoom.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "app/Random.h"
#include "app/Settings.h"
#include "display/Vscreentools.h"
#include "effects/Font.h"

// --- Star field and credits

int32_t creditScroll = 0;
int32_t creditScrollLast = 0;
bool creditsEnded = false;

namespace {

void* AllocateStars(size_t bytes) { return std::malloc(bytes); }

float* currentStars = nullptr;  // x, y, z per point
float* nextStars = nullptr;     // after an update: the positions that update started from
int32_t* plottedPixels = nullptr;
int32_t plottedCount = 0;
float frameMatrix[16];
float scratchMatrix[16];
int32_t starTime = 0;

constexpr int32_t kCube = 65536;   // coordinates stay within -kCube .. kCube
constexpr int32_t kLineHeight = 64;

void ReleaseStars() {
  std::free(currentStars);
  std::free(nextStars);
  std::free(plottedPixels);
  currentStars = nextStars = nullptr;
  plottedPixels = nullptr;
  plottedCount = 0;
}

// Identity with a turn by `angle` in the plane of axes i and j.
void Rotation(float* m, int i, int j, float angle) {
  MatrixIdentity(m);
  m[i * 4 + i] = m[j * 4 + j] = std::cos(angle);
  m[i * 4 + j] = std::sin(angle);
  m[j * 4 + i] = -std::sin(angle);
}

void WrapIntoCube(float* coordinates, int count) {
  for (int i = 0; i < count; ++i) {
    float& c = coordinates[i];
    while (c > kCube) c -= 2 * kCube;
    while (c < -kCube) c += 2 * kCube;
  }
}

void EraseStars() {
  while (plottedCount > 0) vscreen[plottedPixels[--plottedCount]] = 0;
}

// The field is drawn one step behind its motion: from the points the last update started from.
void PlotStars() {
  for (int i = 0; i < kStarCount; ++i) {
    const float* p = nextStars + 3 * i;
    const auto x = static_cast<int32_t>(p[0]), y = static_cast<int32_t>(p[1]), z = static_cast<int32_t>(p[2]);
    if (z <= 0) continue;
    const int32_t sx = x * 256 / z + kScreenWidth / 2;
    const int32_t sy = y * 256 / z + kScreenHeight / 2;
    if (static_cast<uint32_t>(sx) >= kScreenWidth || static_cast<uint32_t>(sy) >= kScreenHeight) continue;
    const int32_t index = sy * kScreenWidth + sx;
    plottedPixels[plottedCount++] = index;
    vscreen[index] = greyRamp[std::min(31, 32 - z * 32 / kCube)];
  }
}

// The credit lines on screen at `scroll`, 64 pixels apart; `fade` colours each by its height.
void DrawCredits(int32_t scroll, bool fade) {
  int32_t line = scroll / kLineHeight;
  for (int32_t y = kLineHeight - 1 - scroll % kLineHeight; y < kScreenHeight && line < kCreditLineCount;
       ++line, y += kLineHeight) {
    if (fade) textColour = greyRamp[std::max(0, (240 - std::abs(216 - y)) * 32 / 336)];
    DrawText(static_cast<uint32_t>((kScreenWidth - TextWidth(creditLines[line])) / 2), y, creditLines[line]);
  }
}

}  // namespace

void* (*starsAllocate)(size_t bytes) = AllocateStars;

void StarsStart() {
  textTarget = vscreen;
  creditScroll = creditScrollLast = 0;
  creditsEnded = false;
  std::memset(vscreen, 0, sizeof(uint16_t) * kScreenWidth * kScreenHeight);
  starTime = 0;
  ReleaseStars();
  const size_t setBytes = sizeof(float) * 3 * kStarCount;
  currentStars = static_cast<float*>(starsAllocate(setBytes));
  nextStars = static_cast<float*>(starsAllocate(setBytes));
  plottedPixels = static_cast<int32_t*>(starsAllocate(sizeof(int32_t) * kStarCount));
  // Without all three the scene stays black rather than writing through a missing block.
  if (!currentStars || !nextStars || !plottedPixels) {
    ReleaseStars();
    return;
  }
  for (int i = 0; i < 3 * kStarCount; ++i) currentStars[i] = static_cast<float>(Random() % (2 * kCube) - kCube);
  // A render before the first update (the pictures paused) shows the start positions.
  std::memcpy(nextStars, currentStars, setBytes);
}

bool StarsUpdate(int ticks) {
  if (!currentStars) return creditsEnded;
  starTime += ticks;
  creditScrollLast = creditScroll;
  creditScroll += ticks;
  const float time = static_cast<float>(starTime);
  Rotation(frameMatrix, 0, 2, std::sin(time * 0.004f) * 0.025f);
  frameMatrix[14] = -512.0f;  // the field comes 512 closer every frame, whatever the ticks
  const float roll = std::sin(time * 0.012144028174145364f) * 0.01f;
  Rotation(scratchMatrix, 0, 1, roll);
  MatrixMultiply(frameMatrix, frameMatrix, scratchMatrix);
  Rotation(scratchMatrix, 1, 2, roll);  // the tilt takes the roll's angle
  MatrixMultiply(frameMatrix, frameMatrix, scratchMatrix);
  TransformPoints(frameMatrix, currentStars, nextStars, kStarCount);
  WrapIntoCube(nextStars, 3 * kStarCount);
  std::swap(currentStars, nextStars);
  return creditsEnded;
}

void StarsRender() {
  if (!currentStars) return;
  EraseStars();
  PlotStars();
}

void CreditsRender() {
  if (!currentStars) return;
  EraseStars();
  if (!creditsEnded) {
    textColour = 0;
    DrawCredits(creditScrollLast, false);
    // Past the last line counts as the end marker: one long update may jump over it.
    if (creditScroll / kLineHeight >= kCreditLineCount) {
      creditScroll = 0;
      creditsEnded = loopDemo;
    } else {
      DrawCredits(creditScroll, true);
    }
  }
  PlotStars();
}

void StarsEnd() { ReleaseStars(); }

void MatrixIdentity(float* m) {
  for (int i = 0; i < 16; ++i) m[i] = i % 5 == 0 ? 1.0f : 0.0f;
}

void MatrixMultiply(float* out, const float* a, const float* b) {
  float product[16];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a[r * 4 + k] * b[k * 4 + c];
      product[r * 4 + c] = sum;
    }
  std::memcpy(out, product, sizeof product);
}

void TransformPoints(const float* m, const float* in, float* out, int count) {
  for (int i = 0; i < count; ++i, in += 3, out += 3) {
    const float x = in[0], y = in[1], z = in[2];
    out[0] = m[12] + m[0] * x + m[4] * y + m[8] * z;
    out[1] = m[13] + m[1] * x + m[5] * y + m[9] * z;
    out[2] = m[14] + m[2] * x + m[6] * y + m[10] * z;
  }
}
