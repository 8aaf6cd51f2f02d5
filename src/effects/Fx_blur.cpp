#include "effects/Fx_blur.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "app/Random.h"
#include "display/Vscreentools.h"
#include "effects/Chopfloat.h"
#include "effects/Font.h"

uint8_t* heatSource = nullptr;
uint8_t* heatTarget = nullptr;
int32_t flowDirection = 0;

namespace {

constexpr int32_t kHeatSize = kScreenWidth * kScreenHeight;
// Zeroed bytes before the heat block: the first band flowing from above left reads one byte
// before the source when the source is the block's first half.
constexpr int32_t kHeatGuard = 64;
constexpr uint8_t kBobHeat = 254;
constexpr int32_t kWordTicks = 35;

// Where a pass takes its three neighbours from, in bytes from the pixel: above, above left, left,
// below left, below, below right, right, above right. Content flows the opposite way.
constexpr int32_t kDirectionOffsets[8] = {-640, -641, -1, 639, 640, 641, 1, -639};

uint8_t* heatBlock = nullptr;  // guard, then the two heat images
uint16_t* rowPalettes = nullptr;  // 256 display colours per screen row
int32_t flowFrame = 0;
int32_t bobX = 0, bobY = 0;  // eighths of a pixel
int32_t flowTime = 0;
int32_t wordIndex = 0;
int32_t wordCountdown = 0;

struct Rgb {
  int32_t r, g, b;
};

Rgb FireColour(int32_t i) { return {std::min(4 * i, 255), std::min(2 * i, 255), std::min(i, 255)}; }

Rgb SeaColour(int32_t i) {
  const float swing = ChopMul(63, ChopCos(ChopMul(static_cast<float>(i), 0.125f)));  // i / 8, exactly
  return {0, static_cast<int32_t>(ChopSub(64, swing)), static_cast<int32_t>(ChopSub(192, swing))};  // never above 255
}

// Fire at row 0, sea at row 480; each product divided on its own.
Rgb FireToSea(Rgb fire, Rgb sea, int32_t row) {
  auto mix = [row](int32_t f, int32_t s) { return (kScreenHeight - row) * f / kScreenHeight + row * s / kScreenHeight; };
  return {mix(fire.r, sea.r), mix(fire.g, sea.g), mix(fire.b, sea.b)};
}

void FillRowPalettes(int32_t mode) {
  Rgb firePalette[256], seaPalette[256];
  for (int32_t i = 0; i < 256; ++i) {
    firePalette[i] = FireColour(i);
    seaPalette[i] = SeaColour(i);
  }
  uint8_t entries[256 * 4];
  for (int32_t row = 0; row < kScreenHeight; ++row) {
    for (int32_t i = 0; i < 256; ++i) {
      const Rgb c = mode == 0 ? firePalette[i] : mode == 1 ? seaPalette[i] : FireToSea(firePalette[i], seaPalette[i], row);
      entries[4 * i] = static_cast<uint8_t>(c.r);
      entries[4 * i + 1] = static_cast<uint8_t>(c.g);
      entries[4 * i + 2] = static_cast<uint8_t>(c.b);
      entries[4 * i + 3] = 0;
    }
    ConvertPalette(entries, 256);
    std::memcpy(rowPalettes + row * 256, entries, 256 * sizeof(uint16_t));
  }
}

// Entries 0 and 1 stay first. Each shuffle starts from the order the last one left.
void ShuffleGreetings() {
  for (int32_t b = 2; greetingWords[b]; ++b) {
    int32_t steps = Random() % 100;
    int32_t e = 2;
    while (steps-- > 0)
      if (!greetingWords[++e]) e = 2;
    std::swap(greetingWords[b], greetingWords[e]);
  }
}

using Bytes16 = uint8_t __attribute__((vector_size(16)));
using Sums16 = uint16_t __attribute__((vector_size(32)));

// Widened to 16 bits, so that four bytes add up without overflow.
void LoadWide(Sums16& sums, const uint8_t* bytes) {
  Bytes16 v;
  std::memcpy(&v, bytes, sizeof v);
  sums = __builtin_convertvector(v, Sums16);
}

// 16 positions at once: the mean of each pixel and its three neighbours, truncated, so heat decays
// as it flows.
void Smear16(uint8_t* target, const uint8_t* source, int32_t c) {
  Sums16 before, centre, after, self;
  LoadWide(before, source + c - 1);
  LoadWide(centre, source + c);
  LoadWide(after, source + c + 1);
  LoadWide(self, source);
  const Bytes16 mean = __builtin_convertvector((before + centre + after + self) >> 2, Bytes16);
  std::memcpy(target, &mean, sizeof mean);
}

// Positions 1 to 638 of one row; the edge columns are never written. The last block overlaps the
// one before it rather than leaving a tail: the target is another image, so it is written the same.
void SmearRow(uint8_t* target, const uint8_t* source, int32_t c) {
  constexpr int32_t kLastBlock = kScreenWidth - 2 - 15;
  for (int32_t i = 1; i < kLastBlock; i += 16) Smear16(target + i, source + i, c);
  Smear16(target + kLastBlock, source + kLastBlock, c);
}

// `rows` rows from linear position `start` of the source into the target, in the current direction.
void FlowPass(int32_t start, int32_t rows) {
  const int32_t c = kDirectionOffsets[flowDirection];
  for (int32_t r = 0; r < rows; ++r, start += kScreenWidth) SmearRow(heatTarget + start, heatSource + start, c);
}

// Rows 1 to 464 in 58 bands of 8, each band one direction further round; rows 0 and 465 to 479
// are never written.
void FlowBands() {
  const int32_t base = flowDirection;
  for (int32_t k = 0; k < 58; ++k) {
    FlowPass(kScreenWidth + k * 8 * kScreenWidth, 8);
    flowDirection = (flowDirection + 1) & 7;
  }
  flowDirection = base;
}

void StampBob(int32_t x, int32_t y) {
  for (int32_t j = -4; j <= 4; ++j) std::memset(heatSource + (y + j) * kScreenWidth + x - 4, kBobHeat, 9);
}

// The bob goes to (almost) the path's point in eight stamps, a continuous trail however far it jumps.
void MoveBobAlongPath(int ticks) {
  flowTime += ticks;
  const auto time = static_cast<float>(flowTime);
  const auto x = static_cast<int32_t>(ChopAdd(ChopMul(ChopSin(ChopMul(time, 0.1f)), 300), 320));
  const auto y = static_cast<int32_t>(ChopAdd(ChopMul(ChopCos(ChopMul(time, 0.04f)), 200), 240));
  const int32_t tx = std::clamp(x, 10, 630), ty = std::clamp(y, 10, 460);
  const int32_t dx = (tx * 8 - bobX) / 8, dy = (ty * 8 - bobY) / 8;
  for (int32_t step = 0; step < 8; ++step) {
    bobX += dx;
    bobY += dy;
    StampBob(bobX / 8, bobY / 8);
  }
}

void DrawWord(const char* word) {
  textTarget = heatTarget;  // left pointing here: the next scene that draws text sets it again
  spanFiller = FillSpans8;
  const int32_t y = Random() % 350 + 25;
  const int32_t width = TextWidth(word);
  const int32_t r2 = Random();
  // A word wider than 512 takes the remainder with the random value's sign: 0 to width - 513.
  const int32_t x = 64 + (width != 512 ? r2 % (512 - width) : 0);
  DrawText(static_cast<uint32_t>(x), y, word);
  spanFiller = FillSpans16;
}

// Four pixels per 64-bit store, the leftmost lowest, rows at the surface's own pitch.
void ShowHeat(const LockedSurface& surface) {
  for (int32_t row = 0; row < kScreenHeight; ++row) {
    const uint16_t* palette = rowPalettes + row * 256;
    const uint8_t* heat = heatTarget + row * kScreenWidth;
    uint8_t* out = surface.pixels + row * surface.pitch;
    for (int32_t x = 0; x < kScreenWidth; x += 4) {
      const uint64_t four = palette[heat[x]] | static_cast<uint64_t>(palette[heat[x + 1]]) << 16 |
                            static_cast<uint64_t>(palette[heat[x + 2]]) << 32 |
                            static_cast<uint64_t>(palette[heat[x + 3]]) << 48;
      std::memcpy(out + 2 * x, &four, sizeof four);
    }
  }
}

}  // namespace

void FlowStart(int32_t mode) {
  flowDirection = 0;
  flowFrame = 0;
  ShuffleGreetings();
  wordCountdown = kWordTicks;
  wordIndex = 0;
  FlowEnd();
  rowPalettes = new (std::nothrow) uint16_t[kScreenHeight * 256];
  heatBlock = new (std::nothrow) uint8_t[kHeatGuard + 2 * kHeatSize];
  if (!rowPalettes || !heatBlock) {
    FlowEnd();
    return;
  }
  std::memset(heatBlock, 0, kHeatGuard + 2 * kHeatSize);
  heatSource = heatBlock + kHeatGuard;
  heatTarget = heatSource + kHeatSize;
  FillRowPalettes(mode);
}

void FlowResetPath() {
  flowTime = 0;
  bobX = 320 * 8;
  bobY = 440 * 8;
}

bool FlowUpdatePath(int ticks) {
  if (!heatBlock) return false;
  MoveBobAlongPath(ticks);
  flowDirection = 4;
  FlowPass(8, 464);  // rows 0 to 463 shifted 8 to the right: each row's span runs 7 into the next
  return false;
}

bool FlowUpdatePathBands(int ticks) {
  if (!heatBlock) return false;
  MoveBobAlongPath(ticks);
  FlowBands();
  return false;
}

bool FlowUpdateRandom(int ticks) {
  if (!heatBlock) return false;
  flowTime += ticks;
  const int32_t x = std::clamp(Random() % kScreenWidth, 10, 630);
  const int32_t y = std::clamp(Random() % kScreenHeight, 10, 460);
  bobX = 8 * x;
  bobY = 8 * y;
  StampBob(x, y);
  FlowBands();
  return false;
}

bool FlowUpdateWords(int ticks) {
  if (!heatBlock) return false;
  flowTime += ticks;
  FlowBands();
  wordCountdown -= ticks;
  if (wordCountdown >= 1) return false;  // however many ticks passed, one word at most
  if (!greetingWords[wordIndex]) return true;
  DrawWord(greetingWords[wordIndex]);
  ++wordIndex;
  wordCountdown = kWordTicks;
  return false;
}

void FlowRender() {
  flowDirection = (flowFrame / 4) & 7;  // the bands turn one step every 4 frames
  ++flowFrame;
  if (!heatBlock) {
    ClearBackSurface();
    return;
  }
  const LockedSurface surface = LockBackSurface();
  if (surface.pixels) {
    ShowHeat(surface);
    backSurface->UnlockSurface();
  }
  std::swap(heatSource, heatTarget);  // also when nothing could be shown
}

void FlowEnd() {
  delete[] rowPalettes;
  rowPalettes = nullptr;
  delete[] heatBlock;
  heatBlock = heatSource = heatTarget = nullptr;
}
