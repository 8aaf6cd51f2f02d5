// SDL's events as the program's input: keys become virtual keys, typed text WM_CHAR, the left
// button, moves and the wheel mouse messages, and window events the sizes and states Windows reports.
#include "SdlInput.h"

#include "SdlWindow.h"
#include "Window.h"

namespace vemora::platform {

namespace {

int VirtualKey(SDL_Keycode key) {
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
    case SDLK_DELETE: return VK_DELETE;
    default: return 0;
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
      if (int key = VirtualKey(event.key.keysym.sym)) InputKey(key, event.type == SDL_KEYDOWN);
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
        case SDL_WINDOWEVENT_RESTORED: InputRestore(); break;
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
