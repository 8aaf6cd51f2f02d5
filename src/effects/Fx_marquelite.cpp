#include "effects/Fx_marquelite.h"

#include <algorithm>

#include "assets/Assets.h"
#include "display/Vscreentools.h"
#include "effects/Pcx.h"

namespace {

int32_t revealProgress = 0;  // pixels
bool revealDone = false;
uint8_t* titlePixels = nullptr;
uint16_t titleColours[256];

// From here on the two wedges cover every pixel, and the copies stay inside the screen.
constexpr int32_t kCompleteProgress = 648;

// Title pixels [begin, end) of the picture, addressed as one run of 640-pixel rows.
void Reveal(int32_t begin, int32_t end) {
  for (int32_t i = begin; i < end; ++i) vscreen[i] = titleColours[titlePixels[i]];
}

}  // namespace

void TitleStart() {
  TitleEnd();  // a run that quit during the title never ended it
  const Asset title = TitleImage();
  titlePixels = PcxDecodeColours(title.data, title.size, kScreenWidth, kScreenHeight, titleColours);
  revealProgress = 0;
  revealDone = false;
}

bool TitleUpdate(int ticks) {
  revealProgress += ticks * 8;
  return false;
}

void TitleRender() {
  if (revealDone || !titlePixels) return;
  if (revealProgress > kScreenWidth) revealDone = true;
  const int32_t p = std::min(revealProgress, kCompleteProgress);
  for (int32_t i = 0; i < kScreenHeight; ++i) {
    const int32_t row = i * kScreenWidth;
    // On the last frame k may be negative and n above 640: the copies run into the neighbouring
    // rows, which is where those pixels belong anyway.
    const int32_t k = kScreenWidth - p * i / kScreenHeight;
    const int32_t n = p * (kScreenHeight - 1 - i) / kScreenHeight;
    Reveal(row + k, row + kScreenWidth);
    Reveal(row, row + n);
  }
}

void TitleEnd() {
  delete[] titlePixels;
  titlePixels = nullptr;
}
