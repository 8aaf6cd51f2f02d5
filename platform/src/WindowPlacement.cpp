// Where windows are and how they show: frame and client area, maximised, minimised and restored,
// moved and sized by the program, and the pixels and messages that follow.
#include <algorithm>

#include "Host.h"
#include "WindowRecords.h"

namespace vemora::platform {

namespace {

constexpr int kFrame = 4;     // sizing frame on each side
constexpr int kCaption = 19;  // caption bar below the top frame

}  // namespace

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

RECT BoundedRect(int left, int top, int width, int height) {
  return RECT{left, top, left + std::clamp(width, 0, kMaxWindowSide), top + std::clamp(height, 0, kMaxWindowSide)};
}

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

RECT MaximisedRect(const Window& window) {
  int width, height;
  CurrentHost().ScreenSize(width, height);
  RECT nc = NonClient(window.style);
  // The sizing frame goes off screen, as a maximised window's does; the caption stays.
  return BoundedRect(-nc.left, -nc.bottom, width + nc.left + nc.right, height + 2 * nc.bottom);
}

void Minimise(Window& window) {
  if (window.show != ShowState::Minimised) window.restoreMaximised = window.show == ShowState::Maximised;
  window.show = ShowState::Minimised;
}

void Restore(Window& window, bool normal) {
  if (window.show == ShowState::Minimised && window.restoreMaximised && !normal) {
    window.show = ShowState::Maximised;
    window.rect = MaximisedRect(window);
    return;
  }
  if (window.show == ShowState::Maximised || (window.show == ShowState::Minimised && window.restoreMaximised))
    window.rect = window.restoreRect;
  window.show = ShowState::Normal;
}

}  // namespace vemora::platform

using namespace vemora::platform;

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
      Minimise(*window);
      window->visible = true;
      activate = command == SW_SHOWMINIMIZED;
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
    case SW_SHOWNOACTIVATE:
      Restore(*window, command != SW_RESTORE);
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
  if (!(flags & SWP_NOSIZE)) window->rect = BoundedRect(window->rect.left, window->rect.top, cx, cy);
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
