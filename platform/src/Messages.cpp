// The per-thread message queue: posting, peeking, waiting, dispatching, default handling.
#include "Core.h"
#include "Host.h"
#include "Window.h"

using namespace vemora::platform;

static bool Matches(const MSG& msg, HWND filter, UINT first, UINT last) {
  if (filter != nullptr && msg.hwnd != filter) return false;
  if (first == 0 && last == 0) return true;
  return msg.message >= first && msg.message <= last;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove) {
  std::unique_lock<std::mutex> held(Global().lock);
  Thread& self = Self(held);
  Host& host = CurrentHost();
  if (std::uint64_t charge = host.TakeCharge(self))
    WaitUntil(held, self, nullptr, 0, false, 0, host.NowUs() + charge);
  host.PumpInput(held, self);
  DeliverSent(held, self);
  MessageQueue& queue = self.queue;
  for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
    if (!Matches(*it, hwnd, first, last)) continue;
    if (msg != nullptr) *msg = *it;
    if (remove & PM_REMOVE) queue.posted.erase(it);
    return TRUE;
  }
  MSG quit{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, 0, POINT{0, 0}};
  if (queue.quit && hwnd == nullptr && Matches(quit, nullptr, first, last)) {
    quit.time = static_cast<DWORD>(host.NowUs() / 1000);
    if (msg != nullptr) *msg = quit;
    if (remove & PM_REMOVE) queue.quit = false;
    return TRUE;
  }
  // WM_PAINT stays pending until BeginPaint validates the window.
  Window* painting = WindowNeedingPaint(self, hwnd);
  if (painting != nullptr && (first == 0 && last == 0 ? true : (WM_PAINT >= first && WM_PAINT <= last))) {
    if (msg != nullptr)
      *msg = MSG{ToHwnd(painting), WM_PAINT, 0, 0, static_cast<DWORD>(host.NowUs() / 1000), POINT{0, 0}};
    return TRUE;
  }
  return FALSE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last) {
  if (msg == nullptr) {
    SetError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  for (;;) {
    if (PeekMessageA(msg, hwnd, first, last, PM_REMOVE)) return msg->message != WM_QUIT;
    WaitFor(nullptr, 0, false, QS_ALLINPUT, INFINITE);
  }
}

static BOOL Post(Thread& thread, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Host& host = CurrentHost();
  thread.queue.posted.push_back(
      MSG{hwnd, message, wParam, lParam, static_cast<DWORD>(host.NowUs() / 1000), POINT{0, 0}});
  host.Changed();
  return TRUE;
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  std::unique_lock<std::mutex> held(Global().lock);
  Thread& self = Self(held);
  if (hwnd == nullptr) return Post(self, nullptr, message, wParam, lParam);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return Post(*window->owner, hwnd, message, wParam, lParam);
}

BOOL WINAPI PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  std::unique_lock<std::mutex> held(Global().lock);
  Self(held);
  for (Thread* thread : Global().threads)
    if (thread->id == threadId && thread->state != ThreadState::Exited)
      return Post(*thread, nullptr, message, wParam, lParam);
  SetError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  std::unique_lock<std::mutex> held(Global().lock);
  Self(held);
  Window* window = LookupWindow(hwnd);
  LRESULT result = 0;
  if (window == nullptr && SendToHook(hwnd, message, wParam, lParam, result)) return result;
  if (window == nullptr) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  // Runs on the calling thread even for another thread's window: the system sends only to
  // its own windows, and a cross-thread reply would need the owner to pump.
  return Send(held, *window, message, wParam, lParam);
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
  // Character messages are not generated: the system reads virtual keys only.
  return msg != nullptr && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (msg == nullptr || msg->hwnd == nullptr) return 0;
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(msg->hwnd);
  if (window == nullptr) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return Send(held, *window, msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
  std::unique_lock<std::mutex> held(Global().lock);
  Thread& self = Self(held);
  self.queue.quit = true;
  self.queue.quitCode = exitCode;
  CurrentHost().Changed();
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(hwnd, &paint);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_ERASEBKGND: {
      std::unique_lock<std::mutex> held(Global().lock);
      Window* window = LookupWindow(hwnd);
      if (window == nullptr || window->windowClass->info.hbrBackground == nullptr) return 0;
      HBRUSH brush = window->windowClass->info.hbrBackground;
      held.unlock();
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
      return 1;
    }
    default:
      return 0;
  }
}
