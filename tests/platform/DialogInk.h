// What a person sees of the Settings dialog's text, on any host: its pixels as they were when GO
// was pressed, and whether every label, group title, check box and button caption shows ink.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "testing.h"

namespace dialogink {

namespace vt = vemora::testing;

constexpr int kGo = 108, kQuit = 109;
constexpr std::uint32_t kInk = 0x000000;

inline vt::Picture& AtGo() {
  static vt::Picture pixels;
  return pixels;
}

// The dialog procedure: keeps the pixels when GO is pressed and ends the dialog.
inline INT_PTR CALLBACK KeepPixelsAtGo(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_COMMAND && LOWORD(wParam) == kGo) {
    AtGo() = vt::WindowPixels();
    EndDialog(dialog, 0);
    return TRUE;
  }
  if (message == WM_CLOSE) EndDialog(dialog, -1);
  return message == WM_CLOSE;
}

inline RECT Inset(const RECT& r, int by) { return RECT{r.left + by, r.top + by, r.right - by, r.bottom - by}; }

inline int InkIn(const vt::Picture& p, const RECT& r) {
  int count = 0;
  for (int y = std::max<int>(0, r.top); y < std::min<int>(p.height, r.bottom); ++y)
    for (int x = std::max<int>(0, r.left); x < std::min<int>(p.width, r.right); ++x) count += p.at(x, y) == kInk;
  return count;
}

inline std::vector<std::uint32_t> Area(const vt::Picture& p, const RECT& r) {
  std::vector<std::uint32_t> out;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) out.push_back(p.at(x, y));
  return out;
}

// Where each visible control's text goes shows ink (check boxes: right of the square, whose
// inner edge is black; group boxes: the title line; buttons: inside their raised edges), and the
// faces of GO and Quit differ, as their captions do.
inline void ExpectEveryTextDrawn(const vt::Picture& pixels, const vt::DialogRecord& dialog) {
  ASSERT_GT(pixels.width, 0);
  for (const vt::DialogControl& control : dialog.controls) {
    if (!control.visible || control.className == "combobox") continue;
    SCOPED_TRACE(control.text);
    RECT text = control.rect;
    if (control.className == "button" && (control.style & BS_TYPEMASK) == BS_GROUPBOX)
      text.bottom = text.top + 13;
    else if (control.className == "button" && (control.style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
      text.left += 16;
    else if (control.className == "button")
      text = Inset(text, 3);
    EXPECT_GT(InkIn(pixels, text), 0);
  }
  const vt::DialogControl* go = dialog.Control(kGo);
  const vt::DialogControl* quit = dialog.Control(kQuit);
  ASSERT_TRUE(go != nullptr && quit != nullptr);
  EXPECT_NE(Area(pixels, Inset(go->rect, 3)), Area(pixels, Inset(quit->rect, 3)));
}

}  // namespace dialogink
