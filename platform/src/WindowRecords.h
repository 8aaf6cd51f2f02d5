// Between the window units (Window, WindowClass, WindowPlacement, WindowInput): the records of
// every window, the focus, and how a window's size and place become its pixels and messages.
// Everything here is used with the lock held.
#pragma once

#include <vector>

#include "Window.h"

namespace vemora::platform {

// Every window made, in creation order (id 1 first); destroyed ones too, never freed (see
// ResetWindows).
extern std::vector<Window*>& windows;
extern UINT activeWindow;  // the window with the focus; 0: none

// Classes (WindowClass).
WindowClass* FindClass(const char* name);
void ForgetClasses();

// Placement (WindowPlacement).
inline int Width(const RECT& r) { return r.right - r.left; }
inline int Height(const RECT& r) { return r.bottom - r.top; }
// Keeps the pixels where the client area still covers them; new area shows the neutral picture.
void ResizePixels(Window& window);
LPARAM ClientSizeParam(const Window& window);
LPARAM ClientOriginParam(const Window& window);
WPARAM SizeKind(const Window& window);
RECT MaximisedRect(const Window& window);
void Minimise(Window& window);  // remembers whether it was maximised
// Back from minimised (or maximised) to the state it had: maximised again when it was minimised
// while maximised, unless `normal`.
void Restore(Window& window, bool normal);

// Input (WindowInput).
void ReleaseKeys();

}  // namespace vemora::platform
