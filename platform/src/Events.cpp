// Events and handle closing.
#include "Core.h"
#include "Host.h"

using namespace vemora::platform;

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
  std::unique_lock<std::mutex> held(Global().lock);
  Self(held);
  if (name != nullptr) {
    // Named events would be shared between processes; nothing here needs them.
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* object = new Object{ObjectKind::Event};
  object->manualReset = manualReset != FALSE;
  object->signalled = initialState != FALSE;
  return ToHandle(AddObject(object));
}

static BOOL SetSignal(HANDLE handle, bool signalled) {
  std::unique_lock<std::mutex> held(Global().lock);
  Checkpoint(held);
  Object* object = Lookup(handle);
  if (object == nullptr || object->kind != ObjectKind::Event) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  object->signalled = signalled;
  if (signalled) CurrentHost().Changed();
  return TRUE;
}

BOOL WINAPI SetEvent(HANDLE event) { return SetSignal(event, true); }
BOOL WINAPI ResetEvent(HANDLE event) { return SetSignal(event, false); }

BOOL WINAPI CloseHandle(HANDLE handle) {
  std::unique_lock<std::mutex> held(Global().lock);
  Checkpoint(held);
  if (CloseLocked(handle)) return TRUE;
  SetError(ERROR_INVALID_HANDLE);
  return FALSE;
}
