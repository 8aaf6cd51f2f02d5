// Input from the host: keys and typed characters posted to the program's window, and what the
// user does to the window sent to its procedure at the owner's next message call.
#include <algorithm>

#include "Host.h"
#include "WindowRecords.h"

namespace vemora::platform {

namespace {

bool keyDown[256];

// A new size from outside: area the client did not cover before needs painting.
void Resize(Window& window) {
  const int oldWidth = window.pixelWidth, oldHeight = window.pixelHeight;
  ResizePixels(window);
  if (window.pixelWidth > oldWidth || window.pixelHeight > oldHeight) window.needsPaint = window.erase = true;
}

// Queues a message for the owner thread's next message call.
void QueueSent(Window& window, UINT message, WPARAM wParam, LPARAM lParam, const RECT* rect = nullptr) {
  SentMessage sent{window.id, message, wParam, lParam, rect != nullptr, rect != nullptr ? *rect : RECT{}};
  window.owner->queue.sent.push_back(sent);
  CurrentHost().Changed();
}

}  // namespace

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
  RECT sized = BoundedRect(window->rect.left, window->rect.top, width, height);
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
  window->rect = outer != nullptr ? BoundedRect(outer->left, outer->top, Width(*outer), Height(*outer)) : MaximisedRect(*window);
  Resize(*window);
  QueueSent(*window, WM_SIZE, SIZE_MAXIMIZED, ClientSizeParam(*window));
  if (window->rect.left != before.left || window->rect.top != before.top)
    QueueSent(*window, WM_MOVE, 0, ClientOriginParam(*window));
  CurrentHost().WindowChanged(*window);
}

void InputMinimise() {
  Window* window = TargetWindow();
  if (window == nullptr || window->show == ShowState::Minimised) return;
  Minimise(*window);
  QueueSent(*window, WM_SIZE, SIZE_MINIMIZED, 0);
  CurrentHost().WindowChanged(*window);
}

void InputRestore() {
  Window* window = TargetWindow();
  if (window == nullptr) return;
  Restore(*window, false);
  ResizePixels(*window);
  window->needsPaint = true;
  QueueSent(*window, WM_SIZE, SizeKind(*window), ClientSizeParam(*window));
  CurrentHost().WindowChanged(*window);
}

void InputClose() {
  Window* window = TargetWindow();
  if (window != nullptr) QueueSent(*window, WM_CLOSE, 0, 0);
}

bool KeyIsDown(int virtualKey) { return keyDown[virtualKey & 0xFF]; }

void ReleaseKeys() { std::fill(std::begin(keyDown), std::end(keyDown), false); }

}  // namespace vemora::platform
