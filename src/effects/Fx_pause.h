// A black pause that draws nothing.
#pragma once

void PauseStart(int seconds);
bool PauseUpdate(int ticks);  // true once the time is used up
