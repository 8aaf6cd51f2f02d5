// Window classes, windows, their geometry and show state, cursor, icons and message boxes.
#include "Window.h"

#include <strings.h>

#include <algorithm>

#include "Host.h"

namespace vemora::platform {

namespace {

constexpr std::uintptr_t kWindowBase = 0x00010000;
constexpr int kFrame = 4;     // sizing frame on each side
constexpr int kCaption = 19;  // caption bar below the top frame

// Never destroyed: records outlive the run that made them (see ResetWindows).
std::vector<WindowClass*>& classes = *new std::vector<WindowClass*>;
std::vector<Window*>& windows = *new std::vector<Window*>;
int cursorCount = 0;
UINT activeWindow = 0;
bool keyDown[256];

WindowClass* FindClass(const char* name) {
  if (name == nullptr || IS_INTRESOURCE(name)) return nullptr;
  for (WindowClass* windowClass : classes)
    if (windowClass->registered && strcasecmp(windowClass->name.c_str(), name) == 0) return windowClass;
  return nullptr;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// Keeps the pixels where the client area still covers them; new area shows the neutral picture.
void ResizePixels(Window& window) {
  RECT client = ClientRect(window);
  if (window.show == ShowState::Minimised) return;
  int width = std::max(0, Width(client));
  int height = std::max(0, Height(client));
  if (width == window.pixelWidth && height == window.pixelHeight) return;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, kNeutralPixel);
  int copyWidth = std::min(width, window.pixelWidth);
  for (int y = 0; y < std::min(height, window.pixelHeight); ++y)
    std::copy_n(window.pixels.begin() + static_cast<std::ptrdiff_t>(y) * window.pixelWidth, copyWidth,
                pixels.begin() + static_cast<std::ptrdiff_t>(y) * width);
  window.pixels.swap(pixels);
  window.pixelWidth = width;
  window.pixelHeight = height;
  MarkPixelsChanged(window);
}

// A new size from outside: area the client did not cover before needs painting.
void Resize(Window& window) {
  const int oldWidth = window.pixelWidth, oldHeight = window.pixelHeight;
  ResizePixels(window);
  if (window.pixelWidth > oldWidth || window.pixelHeight > oldHeight) window.needsPaint = window.erase = true;
}

LPARAM ClientSizeParam(const Window& window) {
  if (window.show == ShowState::Minimised) return 0;
  RECT client = ClientRect(window);
  return MAKELPARAM(Width(client), Height(client));
}

LPARAM ClientOriginParam(const Window& window) {
  RECT nc = NonClient(window.style);
  return MAKELPARAM(window.rect.left + nc.left, window.rect.top + nc.top);
}

WPARAM SizeKind(const Window& window) {
  switch (window.show) {
    case ShowState::Minimised: return SIZE_MINIMIZED;
    case ShowState::Maximised: return SIZE_MAXIMIZED;
    default: return SIZE_RESTORED;
  }
}

// Queues a message for the owner thread's next message call.
void QueueSent(Window& window, UINT message, WPARAM wParam, LPARAM lParam, const RECT* rect = nullptr) {
  SentMessage sent{window.id, message, wParam, lParam, rect != nullptr, rect != nullptr ? *rect : RECT{}};
  window.owner->queue.sent.push_back(sent);
  CurrentHost().Changed();
}

RECT MaximisedRect(const Window& window) {
  int width, height;
  CurrentHost().ScreenSize(width, height);
  RECT nc = NonClient(window.style);
  // The sizing frame goes off screen, as a maximised window's does; the caption stays.
  return RECT{-nc.left, -nc.bottom, width + nc.right, height + nc.bottom};
}

}  // namespace

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

RECT NonClient(DWORD style) {
  int frame = (style & WS_THICKFRAME) ? kFrame : ((style & (WS_BORDER | WS_DLGFRAME)) ? 1 : 0);
  int caption = (style & WS_CAPTION) == WS_CAPTION ? kCaption : 0;
  return RECT{frame, frame + caption, frame, frame};
}

RECT ClientRect(const Window& window) {
  if (window.show == ShowState::Minimised) return RECT{0, 0, 0, 0};
  RECT nc = NonClient(window.style);
  return RECT{0, 0, std::max(0, Width(window.rect) - nc.left - nc.right),
              std::max(0, Height(window.rect) - nc.top - nc.bottom)};
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

void InputKey(int virtualKey, bool down) {
  Window* window = TargetWindow();
  if (window == nullptr) return;
  virtualKey &= 0xFF;
  bool wasDown = keyDown[virtualKey];
  keyDown[virtualKey] = down;
  // Repeat count 1; bit 30: the key was down before; bit 31: the key is being released.
  auto bits = static_cast<std::uint32_t>(1) | (wasDown ? 1u << 30 : 0u) | (down ? 0u : 1u << 31);
  MSG msg{ToHwnd(window), static_cast<UINT>(down ? WM_KEYDOWN : WM_KEYUP), static_cast<WPARAM>(virtualKey),
          static_cast<LPARAM>(bits), static_cast<DWORD>(CurrentHost().NowUs() / 1000), POINT{0, 0}};
  window->owner->queue.posted.push_back(msg);
  CurrentHost().Changed();
}

void InputMouse(UINT message, int x, int y, WPARAM wParam) {
  Window* window = TargetWindow();
  if (window == nullptr) return;
  MSG msg{ToHwnd(window), message, wParam, MAKELPARAM(x, y), static_cast<DWORD>(CurrentHost().NowUs() / 1000), POINT{x, y}};
  std::deque<MSG>& posted = window->owner->queue.posted;
  // Moves are not queued up: a newer one replaces the one still waiting, as Windows does.
  if (message == WM_MOUSEMOVE && !posted.empty() && posted.back().message == WM_MOUSEMOVE && posted.back().hwnd == msg.hwnd)
    posted.back() = msg;
  else
    posted.push_back(msg);
  CurrentHost().Changed();
}

void InputChar(char typed) {
  Window* window = TargetWindow();
  if (window == nullptr) return;
  MSG msg{ToHwnd(window), WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(typed)), 1,
          static_cast<DWORD>(CurrentHost().NowUs() / 1000), POINT{0, 0}};
  window->owner->queue.posted.push_back(msg);
  CurrentHost().Changed();
}

void InputActivate(bool active) {
  Window* window = TargetWindow();
  if (window == nullptr) return;
  activeWindow = active ? window->id : 0;
  QueueSent(*window, WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE, 0);
}

void InputMove(int x, int y) {
  Window* window = TargetWindow();
  if (window == nullptr) return;
  RECT moved{x, y, x + Width(window->rect), y + Height(window->rect)};
  QueueSent(*window, WM_MOVING, 0, 0, &moved);
  window->rect = moved;
  QueueSent(*window, WM_MOVE, 0, ClientOriginParam(*window));
  CurrentHost().WindowChanged(*window);
}

void InputSize(int width, int height) {
  Window* window = TargetWindow();
  if (window == nullptr) return;
  RECT sized{window->rect.left, window->rect.top, window->rect.left + width, window->rect.top + height};
  QueueSent(*window, WM_SIZING, WMSZ_BOTTOMRIGHT, 0, &sized);
  window->rect = sized;
  if (window->show == ShowState::Minimised) window->show = ShowState::Normal;
  Resize(*window);
  QueueSent(*window, WM_SIZE, SizeKind(*window), ClientSizeParam(*window));
  CurrentHost().WindowChanged(*window);
}

void InputMaximise(const RECT* outer) {
  Window* window = TargetWindow();
  if (window == nullptr || window->show == ShowState::Maximised) return;
  if (window->show == ShowState::Normal) window->restoreRect = window->rect;
  const RECT before = window->rect;
  window->show = ShowState::Maximised;
  window->rect = outer != nullptr ? *outer : MaximisedRect(*window);
  Resize(*window);
  QueueSent(*window, WM_SIZE, SIZE_MAXIMIZED, ClientSizeParam(*window));
  if (window->rect.left != before.left || window->rect.top != before.top)
    QueueSent(*window, WM_MOVE, 0, ClientOriginParam(*window));
  CurrentHost().WindowChanged(*window);
}

void InputMinimise() {
  Window* window = TargetWindow();
  if (window == nullptr || window->show == ShowState::Minimised) return;
  window->show = ShowState::Minimised;
  QueueSent(*window, WM_SIZE, SIZE_MINIMIZED, 0);
  CurrentHost().WindowChanged(*window);
}

void InputRestore() {
  Window* window = TargetWindow();
  if (window == nullptr) return;
  if (window->show == ShowState::Maximised) window->rect = window->restoreRect;
  window->show = ShowState::Normal;
  ResizePixels(*window);
  window->needsPaint = true;
  QueueSent(*window, WM_SIZE, SIZE_RESTORED, ClientSizeParam(*window));
  CurrentHost().WindowChanged(*window);
}

void InputClose() {
  Window* window = TargetWindow();
  if (window != nullptr) QueueSent(*window, WM_CLOSE, 0, 0);
}

bool KeyIsDown(int virtualKey) { return keyDown[virtualKey & 0xFF]; }

void ResetWindows() {
  // Records stay allocated (threads of an abandoned run may still point at them).
  for (Window* window : windows) window->destroyed = true;
  for (WindowClass* windowClass : classes) windowClass->registered = false;
  cursorCount = 0;
  activeWindow = 0;
  std::fill(std::begin(keyDown), std::end(keyDown), false);
}

}  // namespace vemora::platform

using namespace vemora::platform;

ATOM WINAPI RegisterClassA(const WNDCLASSA* info) {
  std::unique_lock<std::mutex> held(Global().lock);
  if (info == nullptr || info->lpszClassName == nullptr || IS_INTRESOURCE(info->lpszClassName) ||
      info->lpfnWndProc == nullptr) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (FindClass(info->lpszClassName) != nullptr) {
    SetError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto* windowClass = new WindowClass{info->lpszClassName, *info};
  windowClass->info.lpszClassName = nullptr;  // the caller's string need not outlive the class
  windowClass->info.lpszMenuName = nullptr;
  classes.push_back(windowClass);
  return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE) {
  std::unique_lock<std::mutex> held(Global().lock);
  WindowClass* windowClass = FindClass(className);
  if (windowClass == nullptr) {
    SetError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  for (Window* window : windows)
    if (!window->destroyed && window->windowClass == windowClass) return FALSE;  // still in use
  windowClass->registered = false;
  return TRUE;
}

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
  window->rect = RECT{x, y, x + width, y + height};
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

BOOL WINAPI ShowWindow(HWND hwnd, int command) {
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  bool wasVisible = window->visible;
  ShowState before = window->show;
  RECT beforeRect = window->rect;
  bool activate = true;
  switch (command) {
    case SW_HIDE:
      window->visible = false;
      activate = false;
      break;
    case SW_SHOWMAXIMIZED:
      if (window->show == ShowState::Normal) window->restoreRect = window->rect;
      window->show = ShowState::Maximised;
      window->rect = MaximisedRect(*window);
      window->visible = true;
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      window->show = ShowState::Minimised;
      window->visible = true;
      activate = command == SW_SHOWMINIMIZED;
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
    case SW_SHOWNOACTIVATE:
      if (window->show == ShowState::Maximised) window->rect = window->restoreRect;
      window->show = ShowState::Normal;
      window->visible = true;
      activate = command != SW_SHOWNOACTIVATE;
      break;
    case SW_SHOW:
    case SW_SHOWNA:
      window->visible = true;
      activate = command == SW_SHOW;
      break;
    default:
      SetError(ERROR_INVALID_PARAMETER);
      return wasVisible ? TRUE : FALSE;
  }
  if (window->visible && !wasVisible) {
    window->needsPaint = true;
    window->erase = true;
  }
  ResizePixels(*window);
  Host& host = CurrentHost();
  host.WindowChanged(*window);
  bool appeared = window->visible && !wasVisible;
  if (appeared && activate && activeWindow != window->id) {
    activeWindow = window->id;
    Send(held, *window, WM_ACTIVATE, WA_ACTIVE, 0);
  }
  if (window->destroyed) return wasVisible ? TRUE : FALSE;
  if (appeared || window->show != before || Width(window->rect) != Width(beforeRect) ||
      Height(window->rect) != Height(beforeRect))
    Send(held, *window, WM_SIZE, SizeKind(*window), ClientSizeParam(*window));
  if (!window->destroyed && window->show != ShowState::Minimised &&
      (appeared || window->rect.left != beforeRect.left || window->rect.top != beforeRect.top))
    Send(held, *window, WM_MOVE, 0, ClientOriginParam(*window));
  return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr) return FALSE;
  if (window->needsPaint && window->visible) Send(held, *window, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr || rect == nullptr) return FALSE;
  *rect = ClientRect(*window);
  return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr || rect == nullptr) return FALSE;
  *rect = window->rect;
  return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) {
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr || point == nullptr) return FALSE;
  RECT nc = NonClient(window->style);
  point->x += window->rect.left + nc.left;
  point->y += window->rect.top + nc.top;
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

BOOL WINAPI SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags) {
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr) return FALSE;
  RECT before = window->rect;
  if (!(flags & SWP_NOMOVE)) {
    window->rect.right = x + Width(before);
    window->rect.bottom = y + Height(before);
    window->rect.left = x;
    window->rect.top = y;
  }
  if (!(flags & SWP_NOSIZE)) {
    window->rect.right = window->rect.left + cx;
    window->rect.bottom = window->rect.top + cy;
  }
  bool appeared = (flags & SWP_SHOWWINDOW) && !window->visible;
  if (flags & SWP_SHOWWINDOW) window->visible = true;
  if (flags & SWP_HIDEWINDOW) window->visible = false;
  if (appeared) window->needsPaint = window->erase = true;
  if (window->show == ShowState::Maximised && !(flags & SWP_NOSIZE)) window->show = ShowState::Normal;
  ResizePixels(*window);
  CurrentHost().WindowChanged(*window);
  if (Width(window->rect) != Width(before) || Height(window->rect) != Height(before))
    Send(held, *window, WM_SIZE, SizeKind(*window), ClientSizeParam(*window));
  if (!window->destroyed && (window->rect.left != before.left || window->rect.top != before.top))
    Send(held, *window, WM_MOVE, 0, ClientOriginParam(*window));
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

static DWORD ClassValue(const WindowClass& windowClass, int index, bool& valid) {
  valid = true;
  switch (index) {
    case GCL_HBRBACKGROUND: return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(windowClass.info.hbrBackground));
    case GCL_HICON: return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(windowClass.info.hIcon));
    case GCL_HCURSOR: return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(windowClass.info.hCursor));
    case GCL_STYLE: return windowClass.info.style;
    default: valid = false; return 0;
  }
}

DWORD WINAPI SetClassLongA(HWND hwnd, int index, LONG value) {
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  WNDCLASSA& info = window->windowClass->info;
  bool valid;
  DWORD previous = ClassValue(*window->windowClass, index, valid);
  auto handle = reinterpret_cast<void*>(static_cast<std::uintptr_t>(static_cast<DWORD>(value)));
  switch (index) {
    case GCL_HBRBACKGROUND: info.hbrBackground = static_cast<HBRUSH>(handle); break;
    case GCL_HICON:
      info.hIcon = static_cast<HICON>(handle);
      for (Window* shown : windows)
        if (!shown->destroyed && shown->windowClass == window->windowClass) CurrentHost().WindowChanged(*shown);
      break;
    case GCL_HCURSOR: info.hCursor = static_cast<HCURSOR>(handle); break;
    case GCL_STYLE: info.style = static_cast<UINT>(value); break;
    default: SetError(ERROR_INVALID_PARAMETER); return 0;
  }
  return previous;
}

ULONG_PTR WINAPI SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  // Handles are small numbers here, so the 32-bit call carries them whole.
  return SetClassLongA(hwnd, index, static_cast<LONG>(value));
}

ULONG_PTR WINAPI GetClassLongPtrA(HWND hwnd, int index) { return GetClassLongA(hwnd, index); }

DWORD WINAPI GetClassLongA(HWND hwnd, int index) {
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr) return 0;
  bool valid;
  return ClassValue(*window->windowClass, index, valid);
}

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
