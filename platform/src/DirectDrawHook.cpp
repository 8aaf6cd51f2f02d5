// The hook on an exclusive display's window: an exclusive display is lost when the user switches
// away from its window. The window's own procedure is kept and called after the hook.
#include <map>

#include "DirectDrawObjects.h"
#include "Window.h"

namespace vemora::platform::ddraw {

namespace {

std::map<HWND, WNDPROC> hookedProcedures;  // exclusive windows: their own procedure

LRESULT CALLBACK ExclusiveWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC original = nullptr;
  {
    std::lock_guard<std::mutex> held(ddLock);
    auto found = hookedProcedures.find(window);
    if (found != hookedProcedures.end()) original = found->second;
    if (message == WM_ACTIVATE) {
      bool away = LOWORD(wParam) == WA_INACTIVE;
      for (Device* device : devices) {
        if (!device->exclusive() || device->window() != window) continue;
        device->away = away;
        if (away) {
          device->LoseAll();
          Log("SwitchAway: surfaces lost");
        }
      }
    }
  }
  return original != nullptr ? original(window, message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void HookExclusiveWindow(HWND hwnd, Window& window) {
  if (hookedProcedures.count(hwnd) != 0) return;
  hookedProcedures[hwnd] = window.procedure;
  window.procedure = ExclusiveWindowProc;
}

void UnhookExclusiveWindow(HWND hwnd) {
  std::unique_lock<std::mutex> global(Global().lock);
  std::lock_guard<std::mutex> held(ddLock);
  auto found = hookedProcedures.find(hwnd);
  if (found != hookedProcedures.end()) {
    Window* window = LookupWindow(hwnd);
    if (window != nullptr && window->procedure == ExclusiveWindowProc) window->procedure = found->second;
    hookedProcedures.erase(found);
  }
}

void ForgetHooks() { hookedProcedures.clear(); }

}  // namespace vemora::platform::ddraw
