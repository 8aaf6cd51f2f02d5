// Black rectangles painted with GDI straight onto a window: how the window is drawn on before the
// DirectDraw display exists.
#pragma once
#include <windows.h>

#include <cstdint>

// Width and height of the window's outer rectangle.
void WindowOuterSize(HWND window, int32_t& width, int32_t& height);
// Takes the window's drawing context and selects the stock black brush and pen into it.
void BeginBlackPaint(HWND window);
// GDI's Rectangle with that pen and brush.
void PaintBlack(int32_t left, int32_t top, int32_t right, int32_t bottom);
// Releases the drawing context and deletes the brush and pen objects.
void EndBlackPaint();
