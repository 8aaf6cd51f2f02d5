#include "effects/Fx_testcard.h"

#include <cstdint>
#include <cstring>

#include "app/Config.h"
#include "display/Vscreentools.h"

namespace {
int32_t ticksLeft = 0;
int32_t phase = 0;
int32_t scene = 0;
uint16_t bars[8];

// Eight colour bars in the display's format.
void MakeBars() {
  static const unsigned char rgb[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                          {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
  unsigned char palette[8 * 4];
  for (int i = 0; i < 8; ++i) {
    palette[4 * i] = rgb[i][0];
    palette[4 * i + 1] = rgb[i][1];
    palette[4 * i + 2] = rgb[i][2];
    palette[4 * i + 3] = 0;
  }
  ConvertPalette(palette, 8);
  std::memcpy(bars, palette, sizeof bars);
}

// A digit of the frame-rate font, scaled up.
void DrawBigDigit(int digit, int left, int top, int scale) {
  const uint16_t* glyph = digitFont + digit * 15;
  for (int y = 0; y < 5 * scale; ++y) {
    uint16_t* row = vscreen + (top + y) * kScreenWidth + left;
    for (int x = 0; x < 3 * scale; ++x) row[x] = glyph[(y / scale) * 3 + x / scale];
  }
}
}  // namespace

void TestcardStart() {
  ticksLeft = 210;
  phase = 0;
  scene = currentScene;
  MakeBars();
}

bool TestcardUpdate(int ticks) {
  phase += ticks;
  ticksLeft -= ticks;
  return ticksLeft <= 0;
}

void TestcardRender() {
  if (!vscreen) return;
  // Bars scrolling to the right, a grey band that runs down the screen, the scene number.
  const int shift = (phase * 4) % kScreenWidth;
  uint16_t barRow[kScreenWidth], bandRow[kScreenWidth];
  for (int x = 0; x < kScreenWidth; ++x) {
    barRow[x] = bars[((x + kScreenWidth - shift) % kScreenWidth) / 80];
    bandRow[x] = greyRamp[x / 20];
  }
  for (int y = 0; y < kScreenHeight; ++y) std::memcpy(vscreen + y * kScreenWidth, barRow, sizeof barRow);
  const int bandTop = (phase * 2) % (kScreenHeight - 16);
  for (int y = 0; y < 16; ++y) std::memcpy(vscreen + (bandTop + y) * kScreenWidth, bandRow, sizeof bandRow);
  const int scale = 16;
  const int width = scene >= 10 ? 7 * scale : 3 * scale;
  int left = (kScreenWidth - width) / 2;
  const int top = (kScreenHeight - 5 * scale) / 2;
  for (int y = top - scale; y < top + 6 * scale; ++y)
    for (int x = left - scale; x < left + width + scale; ++x) vscreen[y * kScreenWidth + x] = greyRamp[12];
  if (scene >= 10) {
    DrawBigDigit(scene / 10, left, top, scale);
    left += 4 * scale;
  }
  DrawBigDigit(scene % 10, left, top, scale);
}
