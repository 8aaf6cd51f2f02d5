// The window closes to black in an 8 x 8 mosaic of cells, painted onto it before the display exists.
#pragma once
#include <cstdint>

struct DissolveCell {
  bool active;
  bool done;
  int32_t left;   // style 0: the cell's centre
  int32_t top;
  int32_t cellWidth;
  int32_t cellHeight;
  int32_t steps;  // ticks since activation
};

extern DissolveCell dissolveCells[64];
extern int32_t cellOrder[64];
extern int32_t dissolveStyle;

void DissolveStart();
bool DissolveUpdate(int ticks);  // true when every cell is closed
void DissolveRender();
void DissolveEnd();
