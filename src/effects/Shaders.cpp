#include "effects/Shaders.h"

#include "app/Myform.h"
#include "app/Random.h"
#include "display/Gdipaint.h"

DissolveCell dissolveCells[64];
int32_t cellOrder[64];
int32_t dissolveStyle = 0;

namespace {
int32_t activationCountdown = 0;
constexpr int32_t kFullSteps = 14;
}  // namespace

void DissolveStart() {
  int r1 = Random();
  int r2 = Random();
  dissolveStyle = (r1 % 9999 + r2 % 9999) % 5;

  int32_t w = 0, h = 0;
  WindowOuterSize(mainWindow, w, h);

  for (int i = 0; i < 64; ++i) cellOrder[i] = i;
  for (int pass = 0; pass < 4; ++pass) {
    for (int j = 0; j < 64; ++j) {
      int k = Random() % 64;
      int32_t t = cellOrder[j];
      cellOrder[j] = cellOrder[k];
      cellOrder[k] = t;
    }
  }

  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 8; ++column) {
      DissolveCell& c = dissolveCells[row * 8 + column];
      c.left = (w * column + 7) / 8;
      c.top = (h * row + 7) / 8;
      c.cellWidth = ((column + 1) * w + 7) / 8 - c.left;
      c.cellHeight = ((row + 1) * h + 7) / 8 - c.top;
      c.steps = 0;
      c.active = false;
      c.done = false;
      if (dissolveStyle == 0) {
        c.left += c.cellWidth / 2;
        c.top += c.cellHeight / 2;
      }
    }
  }

  BeginBlackPaint(mainWindow);
  activationCountdown = 1;
}

bool DissolveUpdate(int ticks) {
  for (int t = 0; t < ticks; ++t) {
    if (--activationCountdown < 0) {
      for (int i = 0; i < 64; ++i) {
        DissolveCell& c = dissolveCells[cellOrder[i]];
        if (!c.active) {
          c.active = true;
          break;
        }
      }
      activationCountdown = 1;
    }
  }
  bool allDone = true;
  for (DissolveCell& c : dissolveCells) {
    if (c.active && !c.done) c.steps += ticks;
    if (!c.done) allDone = false;
  }
  return allDone;
}

void DissolveRender() {
  for (DissolveCell& c : dissolveCells) {
    if (!c.active || c.done) continue;
    int32_t s = c.steps;
    if (s >= kFullSteps) {
      s = kFullSteps;
      c.done = true;
    }
    const int32_t w = c.cellWidth, h = c.cellHeight;
    const int32_t a = (w * s + 27) / 28, b = (h * s + 27) / 28;
    const int32_t A = (w * s + 28) / 28, B = (h * s + 28) / 28;
    const int32_t l = c.left, t = c.top;
    switch (dissolveStyle) {
      case 0:
        PaintBlack(l - A, t - B, l + a, t + b);
        break;
      case 1: {
        const int32_t cx = l + w / 2, cy = t + h / 2;
        PaintBlack(l, cy - B, l + w, cy + b);
        PaintBlack(cx - A, t, cx + a, t + h);
        break;
      }
      case 2:
        PaintBlack(l, t, l + a, t + h);
        PaintBlack(l, t, l + w, t + b);
        PaintBlack(l, t + h - b, l + w, t + h);
        PaintBlack(l + w - a, t, l + w, t + h);
        break;
      case 3:
        PaintBlack(l, t, l + w, t + b);
        PaintBlack(l, t + h - b, l + w, t + h);
        break;
      case 4:
        PaintBlack(l, t, l + a, t + h);
        PaintBlack(l + w - a, t, l + w, t + h);
        break;
    }
  }
}

void DissolveEnd() { EndBlackPaint(); }
