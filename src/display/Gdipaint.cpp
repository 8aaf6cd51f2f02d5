#include "display/Gdipaint.h"

namespace {
HWND paintedWindow = nullptr;
HDC dc = nullptr;
HGDIOBJ brush = nullptr;
HGDIOBJ pen = nullptr;
}  // namespace

void WindowOuterSize(HWND window, int32_t& width, int32_t& height) {
  RECT rect{};
  GetWindowRect(window, &rect);
  width = rect.right - rect.left;
  height = rect.bottom - rect.top;
}

void BeginBlackPaint(HWND window) {
  paintedWindow = window;
  dc = GetDC(window);
  brush = GetStockObject(BLACK_BRUSH);
  pen = GetStockObject(BLACK_PEN);
  SelectObject(dc, brush);
  SelectObject(dc, pen);
}

void PaintBlack(int32_t left, int32_t top, int32_t right, int32_t bottom) { Rectangle(dc, left, top, right, bottom); }

void EndBlackPaint() {
  if (dc) ReleaseDC(paintedWindow, dc);
  dc = nullptr;
  if (brush) DeleteObject(brush);
  if (pen) DeleteObject(pen);
  brush = nullptr;
  pen = nullptr;
}
