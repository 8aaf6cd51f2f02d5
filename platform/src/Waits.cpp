// Waiting on kernel objects, and sleeping.
#include "Core.h"

using namespace vemora::platform;

DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  return WaitFor(&object, 1, false, 0, milliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS) {
    SetError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  return WaitFor(objects, count, waitAll != FALSE, 0, milliseconds);
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                      DWORD wakeMask) {
  if (count >= MAXIMUM_WAIT_OBJECTS) {
    SetError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  return WaitFor(handles, count, waitAll != FALSE, wakeMask, milliseconds);
}

void WINAPI Sleep(DWORD milliseconds) { WaitFor(nullptr, 0, false, 0, milliseconds); }
