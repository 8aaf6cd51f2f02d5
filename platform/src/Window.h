// Windows, window classes and host input, shared by the message, GDI and host code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Core.h"

namespace vemora::platform {

constexpr std::uint32_t kNeutralPixel = 0x00808080;
// The widest and tallest a window may be, in pixels: beyond any screen, and a client area that
// can always be allocated. Larger sizes asked for are cut to it; a dialog asking for more fails.
constexpr int kMaxWindowSide = 8192;

struct WindowClass {
  std::string name;
  WNDCLASSA info;
  bool registered = true;
};

enum class ShowState { Normal, Minimised, Maximised };

struct Window {
  UINT id = 0;
  WindowClass* windowClass = nullptr;
  std::string title;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};         // outer rectangle, screen coordinates
  RECT restoreRect{};  // outer rectangle before maximising
  bool restoreMaximised = false;  // minimised while maximised: restoring maximises it again
  WNDPROC procedure = nullptr;
  Thread* owner = nullptr;
  bool visible = false;
  bool destroyed = false;
  ShowState show = ShowState::Normal;
  bool needsPaint = false;
  bool erase = false;
  // Client-area pixels, 0x00RRGGBB, what the window shows when nothing else covers it.
  int pixelWidth = 0;
  int pixelHeight = 0;
  std::vector<std::uint32_t> pixels;
  std::uint64_t pixelVersion = 0;
  void* hostData = nullptr;
};

HWND ToHwnd(const Window* window);
Window* LookupWindow(HWND hwnd);  // lock held; null for invalid or destroyed windows
Window* WindowById(UINT id);
Window* TargetWindow();           // the most recently created live window, for host input
RECT NonClient(DWORD style);      // frame thickness on each side
RECT ClientRect(const Window& window);
// The rectangle with its width and height brought into 0..kMaxWindowSide, its corner kept.
RECT BoundedRect(int left, int top, int width, int height);
bool AnyWindowNeedsPaint(const Thread& thread);
Window* WindowNeedingPaint(const Thread& thread, HWND filter);
void MarkPixelsChanged(Window& window);
int CursorCount();

// Messages to handles that are no window records (a dialog's controls) go to a hook, which
// answers false when the handle is none of its own either (lock held).
using HandleHook = bool (*)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
void SetHandleHook(HandleHook hook);
bool SendToHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Calls the window procedure with the lock released.
LRESULT Send(std::unique_lock<std::mutex>& held, Window& window, UINT message, WPARAM wParam, LPARAM lParam);
// Delivers the messages sent to the thread from outside (lock held).
void DeliverSent(std::unique_lock<std::mutex>& held, Thread& self);

// Input from the host (lock held): keys are posted, window events sent.
void InputKey(int virtualKey, bool down);
void InputMouse(UINT message, int x, int y, WPARAM wParam);  // client coordinates
void InputChar(char typed);                                  // WM_CHAR, as TranslateMessage would post it
void InputActivate(bool active);
void InputMove(int x, int y);            // outer position
void InputSize(int width, int height);   // outer size
void InputMaximise(const RECT* outer);   // outer rectangle; null: the whole screen
void InputMinimise();
void InputRestore();  // a minimised window goes back to what it was before, maximised included
void InputClose();
bool KeyIsDown(int virtualKey);  // as the posted key messages left it

void ResetWindows();  // lock held

}  // namespace vemora::platform
