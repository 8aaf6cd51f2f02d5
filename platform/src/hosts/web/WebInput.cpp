#include "WebInput.h"

#include "PageInput.h"
#include "Window.h"

namespace vemora::platform {

namespace {

bool leftDown = false;

// The page gives positions in pixels of the frame it drew last: a window's client area, or the
// show's picture (whose mouse the program does not use).
void Mouse(UINT message, const web::InputEvent& event) {
  InputMouse(message, event.x, event.y, leftDown ? MK_LBUTTON : 0);
}

void Translate(const web::InputEvent& event) {
  switch (event.type) {
    case web::kKeyDown:
    case web::kKeyUp:
      if (event.code > 0 && event.code < 256) InputKey(event.code, event.type == web::kKeyDown);
      break;
    case web::kCharacter:
      // The program's text is in single bytes: Latin-1 passes, the rest has no byte to be.
      if (event.code > 0 && event.code < 256) InputChar(static_cast<char>(event.code));
      break;
    case web::kMouseMove:
      Mouse(WM_MOUSEMOVE, event);
      break;
    case web::kButtonDown:
    case web::kButtonUp:
      if (event.code != 0) break;  // the left button alone, as on the desktop
      leftDown = event.type == web::kButtonDown;
      Mouse(leftDown ? WM_LBUTTONDOWN : WM_LBUTTONUP, event);
      break;
    case web::kClose:
      InputClose();
      break;
    default:
      break;
  }
}

}  // namespace

void TakePageInput() {
  web::InputEvent event;
  while (web::NextInput(event)) Translate(event);
}

}  // namespace vemora::platform
