// The star field and the credits scroller over it (scenes 5 and 14), with the matrix operations
// they use; and the rotozoom (scenes 6 and 7), a tiled texture turning and zooming in the window
// of a frame picture.
#pragma once
#include <cstddef>
#include <cstdint>

// --- Star field and credits (scenes 5 and 14)

constexpr int kStarCount = 2048;

extern int32_t creditScroll;  // pixels the credits moved up in this pass
extern int32_t creditScrollLast;
extern bool creditsEnded;  // the credits ran through once and the show loops
// Source of the point sets and the plotted list (released with std::free); tests swap it.
extern void* (*starsAllocate)(size_t bytes);

void StarsStart();
bool StarsUpdate(int ticks);  // returns creditsEnded
void StarsRender();
void CreditsRender();
void StarsEnd();

// 4 x 4 row-major matrices; points are (x, y, z) row vectors transformed as p x M.
void MatrixIdentity(float* m);
void MatrixMultiply(float* out, const float* a, const float* b);  // out may be a or b
void TransformPoints(const float* m, const float* in, float* out, int count);

// --- Rotozoom (scenes 6 and 7)
// Scene 6 starts it and draws opaque; scene 7 goes on with the same time and draws each pixel as
// the mean of the new texel and the last frame's pixel; leaving scene 7 ends it.
void RotozoomStart();
bool RotozoomUpdate(int ticks);  // never finishes: the music ends both scenes
void RotozoomRender();
void RotozoomBlendRender();
void RotozoomEnd();
