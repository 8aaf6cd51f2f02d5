#include "effects/Fx_marqueliteclose.h"

#include <cstdint>
#include <cstring>

#include "display/Vscreentools.h"

namespace {
int32_t closeProgress = 0;  // rows
bool closeDone = false;

constexpr int32_t kMeet = 240;

void ClearRows(int32_t first, int32_t count) {
  std::memset(vscreen + first * kScreenWidth, 0, sizeof(uint16_t) * kScreenWidth * count);
}
}  // namespace

void CloseStart() {
  closeProgress = 0;
  closeDone = false;
}

bool CloseUpdate(int ticks) {
  closeProgress += ticks * 8;
  return false;
}

void CloseRender() {
  if (closeDone) return;
  int32_t p = closeProgress;
  if (p > kMeet) {
    p = kMeet;
    closeDone = true;
  }
  ClearRows(0, p + 1);
  ClearRows(kScreenHeight - 1 - p, p + 1);
}
