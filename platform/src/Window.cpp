// Windows: records and handles, creation and destruction, sending messages, what needs painting,
// the focus, the cursor, screen metrics and message boxes. Classes, placement and host input
// have units of their own (WindowClass, WindowPlacement, WindowInput).
#include "Window.h"

#include "Host.h"
#include "WindowRecords.h"

namespace vemora::platform {

namespace {

constexpr std::uintptr_t kWindowBase = 0x00010000;

int cursorCount = 0;
HandleHook handleHook = nullptr;

}  // namespace

// Never destroyed: records outlive the run that made them (see ResetWindows).
std::vector<Window*>& windows = *new std::vector<Window*>;
UINT activeWindow = 0;

HWND ToHwnd(const Window* window) {
  return window == nullptr ? nullptr : reinterpret_cast<HWND>(kWindowBase + std::uintptr_t{window->id} * 4);
}

Window* WindowById(UINT id) {
  if (id == 0 || id > windows.size()) return nullptr;
  Window* window = windows[id - 1];
  return window->destroyed ? nullptr : window;
}

Window* LookupWindow(HWND hwnd) {
  auto value = reinterpret_cast<std::uintptr_t>(hwnd);
  if (value < kWindowBase + 4 || (value - kWindowBase) % 4 != 0) return nullptr;
  return WindowById(static_cast<UINT>((value - kWindowBase) / 4));
}

Window* TargetWindow() {
  for (auto it = windows.rbegin(); it != windows.rend(); ++it)
    if (!(*it)->destroyed) return *it;
  return nullptr;
}

bool AnyWindowNeedsPaint(const Thread& thread) { return WindowNeedingPaint(thread, nullptr) != nullptr; }

Window* WindowNeedingPaint(const Thread& thread, HWND filter) {
  for (Window* window : windows)
    if (!window->destroyed && window->owner == &thread && window->needsPaint && window->visible &&
        (filter == nullptr || ToHwnd(window) == filter))
      return window;
  return nullptr;
}

void MarkPixelsChanged(Window& window) {
  ++window.pixelVersion;
  CurrentHost().PixelsChanged(window);
}

int CursorCount() { return cursorCount; }

void SetHandleHook(HandleHook hook) { handleHook = hook; }

bool SendToHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  return handleHook != nullptr && handleHook(hwnd, message, wParam, lParam, result);
}

LRESULT Send(std::unique_lock<std::mutex>& held, Window& window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC procedure = window.procedure;
  HWND hwnd = ToHwnd(&window);
  held.unlock();
  LRESULT result = procedure(hwnd, message, wParam, lParam);
  held.lock();
  return result;
}

void DeliverSent(std::unique_lock<std::mutex>& held, Thread& self) {
  while (!self.queue.sent.empty()) {
    SentMessage sent = self.queue.sent.front();
    self.queue.sent.pop_front();
    Window* window = WindowById(sent.window);
    if (window == nullptr) continue;
    RECT rect = sent.rect;
    LPARAM lParam = sent.lParamIsRect ? reinterpret_cast<LPARAM>(&rect) : sent.lParam;
    Send(held, *window, sent.message, sent.wParam, lParam);
  }
}

void ResetWindows() {
  // Records stay allocated (threads of an abandoned run may still point at them).
  for (Window* window : windows) window->destroyed = true;
  ForgetClasses();
  cursorCount = 0;
  activeWindow = 0;
  ReleaseKeys();
}


}  // namespace vemora::platform

using namespace vemora::platform;

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU, HINSTANCE, LPVOID parameter) {
  std::unique_lock<std::mutex> held(Global().lock);
  Thread& self = Self(held);
  WindowClass* windowClass = FindClass(className);
  if (windowClass == nullptr) {
    SetError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  Host& host = CurrentHost();
  int screenWidth, screenHeight;
  host.ScreenSize(screenWidth, screenHeight);
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) {
    width = screenWidth * 3 / 4;
    height = screenHeight * 3 / 4;
  }
  auto* window = new Window;
  window->id = static_cast<UINT>(windows.size() + 1);
  window->windowClass = windowClass;
  window->title = windowName != nullptr ? windowName : "";
  window->style = style & ~WS_VISIBLE;
  window->exStyle = exStyle;
  window->rect = BoundedRect(x, y, width, height);
  window->restoreRect = window->rect;
  window->procedure = windowClass->info.lpfnWndProc;
  window->owner = &self;
  windows.push_back(window);
  ResizePixels(*window);
  host.WindowCreated(*window);
  HWND hwnd = ToHwnd(window);
  if (Send(held, *window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(parameter)) == FALSE ||
      Send(held, *window, WM_CREATE, 0, reinterpret_cast<LPARAM>(parameter)) == -1) {
    held.unlock();
    DestroyWindow(hwnd);
    return nullptr;
  }
  held.unlock();
  if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  Send(held, *window, WM_DESTROY, 0, 0);
  if (window->destroyed) return TRUE;  // destroyed again from inside WM_DESTROY
  Send(held, *window, WM_NCDESTROY, 0, 0);
  window->destroyed = true;
  window->visible = false;
  if (activeWindow == window->id) activeWindow = 0;
  CurrentHost().WindowDestroyed(*window);
  std::vector<std::uint32_t>().swap(window->pixels);
  window->pixelWidth = window->pixelHeight = 0;
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
  std::unique_lock<std::mutex> held(Global().lock);
  return LookupWindow(hwnd) != nullptr;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr) return FALSE;
  if (window->needsPaint && window->visible) Send(held, *window, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT*, BOOL erase) {
  std::unique_lock<std::mutex> held(Global().lock);
  if (hwnd == nullptr) return TRUE;
  Window* window = LookupWindow(hwnd);
  if (window == nullptr) return FALSE;
  window->needsPaint = true;
  window->erase = window->erase || erase != FALSE;
  CurrentHost().Changed();
  return TRUE;
}

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr) return FALSE;
  window->title = text != nullptr ? text : "";
  CurrentHost().WindowChanged(*window);
  return TRUE;
}

HWND WINAPI SetFocus(HWND hwnd) {
  std::unique_lock<std::mutex> held(Global().lock);
  return ToHwnd(WindowById(activeWindow));
}

HWND WINAPI GetFocus(void) {
  std::unique_lock<std::mutex> held(Global().lock);
  return ToHwnd(WindowById(activeWindow));
}

BOOL WINAPI SetForegroundWindow(HWND hwnd) {
  std::unique_lock<std::mutex> held(Global().lock);
  return LookupWindow(hwnd) != nullptr;
}

HWND WINAPI GetForegroundWindow(void) { return GetFocus(); }

LONG WINAPI GetWindowLongA(HWND hwnd, int index) {
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr) return 0;
  DWORD style = window->style | (window->visible ? WS_VISIBLE : 0) |
                (window->show == ShowState::Minimised ? WS_MINIMIZE : 0) |
                (window->show == ShowState::Maximised ? WS_MAXIMIZE : 0);
  if (index == GWL_STYLE) return static_cast<LONG>(style);
  if (index == GWL_EXSTYLE) return static_cast<LONG>(window->exStyle);
  return 0;
}

// Cursors are never drawn here; a handle names the resource it came from.
HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR name) {
  if (!IS_INTRESOURCE(name)) return nullptr;
  return reinterpret_cast<HCURSOR>(0x04000000 + reinterpret_cast<std::uintptr_t>(name));
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) { return cursor; }

int WINAPI ShowCursor(BOOL show) {
  std::unique_lock<std::mutex> held(Global().lock);
  cursorCount += show ? 1 : -1;
  CurrentHost().CursorChanged(cursorCount);
  return cursorCount;
}

int WINAPI GetSystemMetrics(int index) {
  std::unique_lock<std::mutex> held(Global().lock);
  int width, height;
  CurrentHost().ScreenSize(width, height);
  if (index == SM_CXSCREEN) return width;
  if (index == SM_CYSCREEN) return height;
  return 0;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Host* host;
  {
    std::unique_lock<std::mutex> held(Global().lock);
    Self(held);
    host = &CurrentHost();
  }
  return host->MessageBox(owner, text != nullptr ? text : "", caption != nullptr ? caption : "Error", type);
}
