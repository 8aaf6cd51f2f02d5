#include "effects/Fx_rotozoom.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "app/Random.h"
#include "app/Settings.h"
#include "assets/Assets.h"
#include "display/Vscreentools.h"
#include "effects/Chopfloat.h"
#include "effects/Font.h"
#include "effects/Pcx.h"

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
  m[i * 4 + i] = m[j * 4 + j] = ChopCos(angle);
  m[i * 4 + j] = ChopSin(angle);
  m[j * 4 + i] = -ChopSin(angle);
}

void WrapIntoCube(float* coordinates, int count) {
  for (int i = 0; i < count; ++i) {
    float& c = coordinates[i];
    while (c > kCube) c = ChopSub(c, 2 * kCube);
    while (c < -kCube) c = ChopAdd(c, 2 * kCube);
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
  Rotation(frameMatrix, 0, 2, ChopMul(ChopSin(ChopMul(time, 0.004f)), 0.025f));
  frameMatrix[14] = -512.0f;  // the field comes 512 closer every frame, whatever the ticks
  const float roll = ChopMul(ChopSin(ChopMul(time, 0.012144028174145364f)), 0.01f);
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
      for (int k = 0; k < 4; ++k) sum = ChopAdd(sum, ChopMul(a[r * 4 + k], b[k * 4 + c]));
      product[r * 4 + c] = sum;
    }
  std::memcpy(out, product, sizeof product);
}

void TransformPoints(const float* m, const float* in, float* out, int count) {
  for (int i = 0; i < count; ++i, in += 3, out += 3) {
    const float x = in[0], y = in[1], z = in[2];
    out[0] = ChopAdd(ChopAdd(ChopAdd(m[12], ChopMul(m[0], x)), ChopMul(m[4], y)), ChopMul(m[8], z));
    out[1] = ChopAdd(ChopAdd(ChopAdd(m[13], ChopMul(m[1], x)), ChopMul(m[5], y)), ChopMul(m[9], z));
    out[2] = ChopAdd(ChopAdd(ChopAdd(m[14], ChopMul(m[2], x)), ChopMul(m[6], y)), ChopMul(m[10], z));
  }
}

// --- Rotozoom

namespace {

constexpr int32_t kTextureSize = 256;
constexpr int32_t kWindowLeft = 171, kWindowTop = 122;
constexpr int32_t kWindowWidth = 309, kWindowHeight = 236;

int32_t rotoTime = 0;
int32_t du = 0, dv = 0;          // 16.16 texture steps per pixel along a row
int32_t uStart = 0, vStart = 0;  // 16.16 texture point of the window's top-left
uint16_t halfMask = 0;           // clears the bit of each colour field that a shift right would spill
uint8_t* texture = nullptr;      // null when the pictures could not be used: nothing is drawn
uint16_t textureColours[256];

// The frame picture is only needed once: it is drawn at start and the window is all that changes.
bool DrawFramePicture() {
  const Asset frame = RotoFrameImage();
  return !PcxDecodeHiColour(frame.data, frame.size, kScreenWidth, kScreenHeight, vscreen);
}

uint16_t Blend(uint16_t fresh, uint16_t old) {
  return static_cast<uint16_t>(((fresh & halfMask) >> 1) + ((old & halfMask) >> 1));
}

// Walks the window row by row and hands each texel's colour and its place to `put`.
template <typename Put>
void DrawWindow(Put put) {
  if (!texture || !vscreen) return;
  // Unsigned: the coordinates wrap, and so does the texture.
  uint32_t rowU = static_cast<uint32_t>(uStart), rowV = static_cast<uint32_t>(vStart);
  const uint32_t stepU = static_cast<uint32_t>(du), stepV = static_cast<uint32_t>(dv);
  for (int32_t y = 0; y < kWindowHeight; ++y) {
    uint16_t* out = vscreen + (kWindowTop + y) * kScreenWidth + kWindowLeft;
    uint32_t u = rowU + stepU, v = rowV + stepV;
    for (int32_t x = 0; x < kWindowWidth; ++x) {
      put(out[x], textureColours[texture[((v >> 8) & 0xFF00) | ((u >> 16) & 0xFF)]]);
      u += stepU;
      v += stepV;
    }
    rowU -= stepV;
    rowV += stepU;
  }
}

}  // namespace

void RotozoomStart() {
  rotoTime = 0;
  RotozoomEnd();
  if (!vscreen) return;
  const Asset picture = RotoTextureImage();
  texture = PcxDecodeColours(picture.data, picture.size, kTextureSize, kTextureSize, textureColours);
  if (!texture || !DrawFramePicture()) {
    RotozoomEnd();
    std::memset(vscreen, 0, kScreenWidth * kScreenHeight * sizeof(uint16_t));
  }
  uint8_t grey[4] = {128, 128, 128, 0};
  ConvertPalette(grey, 1);
  uint16_t doubled;
  std::memcpy(&doubled, grey, sizeof doubled);
  halfMask = static_cast<uint16_t>(~(doubled << 1));
  du = 0x10000;
  dv = 0;
  uStart = vStart = 0;
}

bool RotozoomUpdate(int ticks) {
  rotoTime += ticks;
  const auto time = static_cast<float>(rotoTime);
  const float angle = ChopMul(time, 0.004f);
  const float zoom = ChopAdd(ChopMul(ChopSin(ChopMul(time, 0.013333333333333334f)), 64), 64.1f);
  const float s = ChopSin(angle), c = ChopCos(angle);
  du = static_cast<int32_t>(ChopMul(ChopMul(zoom, s), 4096));
  dv = static_cast<int32_t>(ChopMul(ChopMul(zoom, c), 4096));
  const float sinTerm = ChopMul(ChopMul(s, -1048576.0f), zoom), cosTerm = ChopMul(ChopMul(c, -1048576.0f), zoom);
  uStart = static_cast<int32_t>(ChopAdd(sinTerm, cosTerm));
  vStart = static_cast<int32_t>(ChopAdd(cosTerm, sinTerm));  // the same terms in the other order
  return false;
}

void RotozoomRender() {
  DrawWindow([](uint16_t& pixel, uint16_t colour) { pixel = colour; });
}

void RotozoomBlendRender() {
  DrawWindow([](uint16_t& pixel, uint16_t colour) { pixel = Blend(colour, pixel); });
}

void RotozoomEnd() {
  delete[] texture;
  texture = nullptr;
}
