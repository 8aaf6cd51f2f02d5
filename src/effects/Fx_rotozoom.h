// Scenes 6 and 7: a tiled texture turning and zooming in the window of a frame picture.
#pragma once
#include <cstdint>

// --- Rotozoom
// Scene 6 starts it and draws opaque; scene 7 goes on with the same time and draws each pixel as
// the mean of the new texel and the last frame's pixel; leaving scene 7 ends it.
void RotozoomStart();
bool RotozoomUpdate(int ticks);  // never finishes: the music ends both scenes
void RotozoomRender();
void RotozoomBlendRender();
void RotozoomEnd();
