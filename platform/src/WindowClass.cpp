// Window classes: registration, and the class values read and changed through a window.
#include <strings.h>

#include "Host.h"
#include "WindowRecords.h"

namespace vemora::platform {

namespace {

// Never destroyed: records outlive the run that made them (see ResetWindows).
std::vector<WindowClass*>& classes = *new std::vector<WindowClass*>;

}  // namespace

WindowClass* FindClass(const char* name) {
  if (name == nullptr || IS_INTRESOURCE(name)) return nullptr;
  for (WindowClass* windowClass : classes)
    if (windowClass->registered && strcasecmp(windowClass->name.c_str(), name) == 0) return windowClass;
  return nullptr;
}

void ForgetClasses() {
  for (WindowClass* windowClass : classes) windowClass->registered = false;
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
