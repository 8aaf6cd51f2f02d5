// SDL's events as the program's input: keys become virtual keys, typed text WM_CHAR, the left
// button, moves and the wheel mouse messages, and window events the sizes and states Windows reports.
#include "SdlInput.h"

#include "SdlWindow.h"
#include "Window.h"

namespace vemora::platform {

namespace {

// The keypad as Windows reports it: Enter is Enter; with Num Lock the digits and the point are
// VK_NUMPAD0..9 and VK_DECIMAL (their characters come as typed text), without it the keys
// printed under them.
int KeypadKey(const SDL_Keysym& key) {
  static constexpr int kWithoutNumLock[] = {VK_INSERT, VK_END, VK_DOWN, VK_NEXT, VK_LEFT,
                                            VK_CLEAR,  VK_RIGHT, VK_HOME, VK_UP, VK_PRIOR};
  const bool numLock = (key.mod & KMOD_NUM) != 0;
  if (key.sym >= SDLK_KP_1 && key.sym <= SDLK_KP_9) {
    const int digit = 1 + (key.sym - SDLK_KP_1);
    return numLock ? VK_NUMPAD0 + digit : kWithoutNumLock[digit];
  }
  switch (key.sym) {
    case SDLK_KP_0: return numLock ? VK_NUMPAD0 : kWithoutNumLock[0];
    case SDLK_KP_PERIOD: return numLock ? VK_DECIMAL : VK_DELETE;
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
    case SDLK_KP_DIVIDE: return VK_DIVIDE;
    default: return 0;
  }
}

int VirtualKey(const SDL_Keysym& keysym) {
  const SDL_Keycode key = keysym.sym;
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
  switch (key) {
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LALT:
    case SDLK_RALT: return VK_MENU;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_SCROLLLOCK: return VK_SCROLL;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_TAB: return VK_TAB;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    default: return KeypadKey(keysym);
  }
}

// The program's window when the event is meant for it, else null.
Window* FromSdl(Uint32 windowId) {
  Window* window = TargetWindow();
  if (window == nullptr || window->hostData == nullptr) return nullptr;
  SDL_Window* sdl = static_cast<SdlWindow*>(window->hostData)->window;
  return sdl != nullptr && SDL_GetWindowID(sdl) == windowId ? window : nullptr;
}

}  // namespace

void TranslateEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      InputClose();
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (int key = VirtualKey(event.key.keysym)) InputKey(key, event.type == SDL_KEYDOWN);
      break;
    case SDL_TEXTINPUT:
      for (const char* typed = event.text.text; *typed != '\0'; ++typed) InputChar(*typed);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (event.button.button == SDL_BUTTON_LEFT && FromSdl(event.button.windowID) != nullptr)
        InputMouse(event.type == SDL_MOUSEBUTTONDOWN ? WM_LBUTTONDOWN : WM_LBUTTONUP, event.button.x, event.button.y,
                   event.type == SDL_MOUSEBUTTONDOWN ? MK_LBUTTON : 0);
      break;
    case SDL_MOUSEMOTION:
      if (FromSdl(event.motion.windowID) != nullptr)
        InputMouse(WM_MOUSEMOVE, event.motion.x, event.motion.y, (event.motion.state & SDL_BUTTON_LMASK) ? MK_LBUTTON : 0);
      break;
    case SDL_MOUSEWHEEL:
      if (FromSdl(event.wheel.windowID) != nullptr)
        InputMouse(WM_MOUSEWHEEL, 0, 0, MAKEWPARAM(0, static_cast<WORD>(event.wheel.y * WHEEL_DELTA)));
      break;
    case SDL_WINDOWEVENT: {
      Window* window = FromSdl(event.window.windowID);
      if (window == nullptr) break;
      RECT nc = NonClient(window->style);
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE: InputClose(); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: InputActivate(true); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: InputActivate(false); break;
        // SDL reports the sizes and places it was told to take too: only real changes count.
        case SDL_WINDOWEVENT_MOVED:
          if (event.window.data1 - nc.left != window->rect.left || event.window.data2 - nc.top != window->rect.top)
            InputMove(event.window.data1 - nc.left, event.window.data2 - nc.top);
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
          RECT client = ClientRect(*window);
          if (window->show != ShowState::Minimised &&
              (event.window.data1 != client.right || event.window.data2 != client.bottom))
            InputSize(event.window.data1 + nc.left + nc.right, event.window.data2 + nc.top + nc.bottom);
          break;
        }
        case SDL_WINDOWEVENT_MINIMIZED: InputMinimise(); break;
        case SDL_WINDOWEVENT_MAXIMIZED: {
          SDL_Window* sdl = static_cast<SdlWindow*>(window->hostData)->window;
          int x = 0, y = 0, width = 0, height = 0;
          SDL_GetWindowPosition(sdl, &x, &y);
          SDL_GetWindowSize(sdl, &width, &height);
          const RECT outer{x - nc.left, y - nc.top, x + width + nc.right, y + height + nc.bottom};
          InputMaximise(&outer);
          break;
        }
        case SDL_WINDOWEVENT_RESTORED:
          InputRestore();
          // SDL brought back a plain window; one minimised from full screen (or maximised) is that again.
          if (window->show == ShowState::Maximised) UpdateSdlWindow(*window);
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          if (window->hostData != nullptr) static_cast<SdlWindow*>(window->hostData)->presentedVersion = 0;
          break;
        default: break;
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace vemora::platform
