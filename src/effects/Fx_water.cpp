#include "effects/Fx_water.h"

#include <cstring>
#include <new>

#include "assets/Assets.h"
#include "display/Vscreentools.h"
#include "effects/Chopfloat.h"
#include "effects/Pcx.h"

int32_t waterAngle = 0;

namespace {

constexpr int32_t kSpriteSize = 158;
constexpr int32_t kMaxRuns = 960;
constexpr int32_t kRadius = 125;

struct WaterRun {
  int32_t offset;  // first pixel in the virtual screen
  int32_t length;  // pixels
};

uint16_t* ball = nullptr;        // 0 is transparent
uint16_t* lens = nullptr;        // the key colour is transparent
uint16_t* background = nullptr;  // null when start could not build everything: nothing is shown
WaterRun waterRuns[kMaxRuns];
int32_t runCount = 0;
float cosTable[360], sinTable[360];

// A picture as display colours, or null.
uint16_t* DecodeHiColour(Asset picture, int32_t width, int32_t height) {
  auto* copy = new (std::nothrow) uint16_t[width * height];
  if (copy && PcxDecodeHiColour(picture.data, picture.size, width, height, copy)) {
    delete[] copy;
    return nullptr;
  }
  return copy;
}

bool LoadPictures() {
  ball = DecodeHiColour(WaterBallImage(), kSpriteSize, kSpriteSize);
  lens = DecodeHiColour(WaterLensImage(), kSpriteSize, kSpriteSize);
  background = DecodeHiColour(WaterBackgroundImage(), kScreenWidth, kScreenHeight);
  return ball && lens && background;
}

// Every display surface gets the background with a black disc; the water is drawn over it later.
void PresentBackground() {
  for (int32_t i = 0; i < kScreenWidth * kScreenHeight; ++i) vscreen[i] = background[i] == keyColour ? 0 : background[i];
  for (int32_t n = 0; n < 3; ++n) PresentFrame();
}

using Pixels8 = uint16_t __attribute__((vector_size(16)));

// Eight sprite pixels over the screen, the transparent ones left out.
void Put8(uint16_t* to, const uint16_t* from, Pixels8 transparent) {
  Pixels8 sprite, screen;
  std::memcpy(&sprite, from, sizeof sprite);
  std::memcpy(&screen, to, sizeof screen);
  const auto clear = reinterpret_cast<Pixels8>(sprite == transparent);
  const Pixels8 mixed = (sprite & ~clear) | (screen & clear);
  std::memcpy(to, &mixed, sizeof mixed);
}

// The last block of a row overlaps the one before it: putting a pixel twice changes nothing.
void DrawSprite(const uint16_t* sprite, int32_t at, uint16_t transparent) {
  constexpr int32_t kLastBlock = kSpriteSize - 8;
  const Pixels8 key = Pixels8{} + transparent;
  for (int32_t j = 0; j < kSpriteSize; ++j) {
    const uint16_t* from = sprite + j * kSpriteSize;
    uint16_t* to = vscreen + at + j * kScreenWidth;
    for (int32_t k = 0; k < kLastBlock; k += 8) Put8(to + k, from + k, key);
    Put8(to + kLastBlock, from + kLastBlock, key);
  }
}

// In place, left to right and top to bottom, so the left and upper neighbours are already this
// frame's. The mean is of the packed pixels, not per field: colours bleed into the next field.
void Smooth() {
  for (int32_t n = 0; n < runCount; ++n) {
    uint16_t* p = vscreen + waterRuns[n].offset;
    for (int32_t i = 0; i < waterRuns[n].length; ++i)
      p[i] = static_cast<uint16_t>(static_cast<uint16_t>(p[i + kScreenWidth] + p[i - 1] + p[i + 1] + p[i - kScreenWidth]) >> 2);
  }
}

// The screen pixels first to first + count - 1 into the surface, row by row at its pitch.
void CopyPixels(const LockedSurface& surface, int32_t first, int32_t count) {
  while (count > 0) {
    const int32_t row = first / kScreenWidth, column = first % kScreenWidth;
    const int32_t n = count < kScreenWidth - column ? count : kScreenWidth - column;
    std::memcpy(surface.pixels + row * surface.pitch + column * 2, vscreen + first, n * sizeof(uint16_t));
    first += n;
    count -= n;
  }
}

void CopyRuns() {
  const LockedSurface surface = LockBackSurface();
  if (!surface.pixels) return;
  for (int32_t n = 0; n < runCount; ++n) {
    const WaterRun& run = waterRuns[n];
    CopyPixels(surface, run.offset, (run.length + 1) / 2 * 2);  // whole 32-bit words: an odd run copies one more
  }
  backSurface->UnlockSurface();
}

}  // namespace

int32_t BuildWaterRuns(const uint16_t* picture) {
  // Rows 0 and 479 are left out: their neighbours would lie outside the screen. So even an odd run
  // ending a row copies its extra pixel inside the screen.
  const int32_t end = (kScreenHeight - 1) * kScreenWidth;
  runCount = 0;
  for (int32_t i = kScreenWidth; i < end && runCount < kMaxRuns;) {
    if (picture[i] != keyColour) {
      ++i;
      continue;
    }
    int32_t n = 1;
    while (i + n < end && picture[i + n] == keyColour) ++n;  // a run may go on across a row's end
    waterRuns[runCount++] = {i, n};
    i += n;
  }
  return runCount;
}

void WaterStart() {
  WaterEnd();
  if (!vscreen) return;
  if (!LoadPictures()) {
    WaterEnd();
    std::memset(vscreen, 0, kScreenWidth * kScreenHeight * sizeof(uint16_t));
    return;
  }
  PresentBackground();
  std::memset(vscreen, 0, kScreenWidth * kScreenHeight * sizeof(uint16_t));
  for (int32_t i = 0; i < 360; ++i) {
    const float radians = ChopMul(ChopMul(static_cast<float>(i), 3.141592653589793f), 0.005555555555555556f);
    cosTable[i] = ChopCos(radians);
    sinTable[i] = ChopSin(radians);
  }
  BuildWaterRuns(background);
}

bool WaterUpdate(int) { return false; }

void WaterRender() {
  if (!background) {
    ClearBackSurface();
    return;
  }
  if (++waterAngle > 359) waterAngle -= 360;
  const int32_t swing = static_cast<int32_t>(ChopAdd(90, ChopMul(90, sinTable[waterAngle])));
  const int32_t ax = static_cast<int32_t>(ChopMul(kRadius, cosTable[swing]));
  const int32_t ay = static_cast<int32_t>(ChopMul(kRadius, sinTable[swing]));
  const int32_t a = (161 - ay) * kScreenWidth + 241 - ax, b = (161 + ay) * kScreenWidth + 241 + ax;
  DrawSprite(ball, a, 0);
  DrawSprite(ball, b, 0);
  Smooth();
  DrawSprite(lens, a, static_cast<uint16_t>(keyColour));
  DrawSprite(lens, b, static_cast<uint16_t>(keyColour));
  CopyRuns();
}

void WaterEnd() {
  delete[] ball;
  delete[] lens;
  delete[] background;
  ball = lens = background = nullptr;
}
