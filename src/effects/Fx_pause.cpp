#include "effects/Fx_pause.h"

#include <cstdint>

namespace {
int32_t ticksLeft = 0;
}

void PauseStart(int seconds) { ticksLeft = seconds * 70; }

bool PauseUpdate(int ticks) {
  ticksLeft -= ticks;
  return ticksLeft <= 0;
}
