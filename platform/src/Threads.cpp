// Threads: each platform thread is an OS thread whose waits go through the host.
#include <thread>

#include "Core.h"
#include "Host.h"

using namespace vemora::platform;

static Thread* LookupThread(HANDLE handle) {
  if (handle == reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2))) {
    return nullptr;  // resolved by the callers through Self()
  }
  Object* object = Lookup(handle);
  if (object == nullptr || object->kind != ObjectKind::Thread) return nullptr;
  return object->thread;
}

static Thread* Resolve(std::unique_lock<std::mutex>& held, HANDLE handle) {
  if (handle == GetCurrentThread()) return &Self(held);
  Thread* thread = LookupThread(handle);
  if (thread == nullptr) SetError(ERROR_INVALID_HANDLE);
  return thread;
}

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, std::size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                           DWORD creationFlags, LPDWORD threadId) {
  State& state = Global();
  std::unique_lock<std::mutex> held(state.lock);
  Self(held);
  if (start == nullptr) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* thread = new Thread;
  thread->index = static_cast<int>(state.threads.size());
  thread->id = state.nextThreadId++;
  thread->start = start;
  thread->parameter = parameter;
  thread->suspended = (creationFlags & CREATE_SUSPENDED) != 0;
  auto* object = new Object{ObjectKind::Thread};
  object->thread = thread;
  object->references = 2;  // the handle returned, and the running thread
  thread->object = object;
  thread->handle = AddObject(object);
  state.threads.push_back(thread);
  if (threadId != nullptr) *threadId = thread->id;
  CurrentHost().Start(held, *thread);
  return ToHandle(thread->handle);
}

DWORD WINAPI ResumeThread(HANDLE handle) {
  std::unique_lock<std::mutex> held(Global().lock);
  Thread* thread = Resolve(held, handle);
  if (thread == nullptr) return static_cast<DWORD>(-1);
  DWORD previous = thread->suspended ? 1 : 0;
  thread->suspended = false;
  CurrentHost().Changed();
  return previous;
}

BOOL WINAPI SetThreadPriority(HANDLE handle, int priority) {
  std::unique_lock<std::mutex> held(Global().lock);
  Thread* thread = Resolve(held, handle);
  if (thread == nullptr) return FALSE;
  bool valid = (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST) ||
               priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL;
  if (!valid) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Recorded only: the headless scheduler's order is fixed, and the real host runs
  // unprivileged, where raising a priority is refused anyway.
  thread->priority = priority;
  return TRUE;
}

int WINAPI GetThreadPriority(HANDLE handle) {
  std::unique_lock<std::mutex> held(Global().lock);
  Thread* thread = Resolve(held, handle);
  return thread == nullptr ? THREAD_PRIORITY_ERROR_RETURN : thread->priority;
}

BOOL WINAPI TerminateThread(HANDLE handle, DWORD exitCode) {
  std::unique_lock<std::mutex> held(Global().lock);
  Thread* thread = Resolve(held, handle);
  if (thread == nullptr) return FALSE;
  if (thread->state == ThreadState::Exited || thread->terminated) return TRUE;
  thread->terminated = true;
  thread->object->exitCode = exitCode;
  // A thread waiting inside the platform, or not yet started, never runs again: it has stopped.
  // One that is running stops at its next platform call (Checkpoint); its handle waits for that.
  if (!thread->entered || thread->state == ThreadState::Blocked) thread->object->signalled = true;
  CurrentHost().Changed();
  if (thread == &Self(held)) Checkpoint(held);
  return TRUE;
}

BOOL WINAPI GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
  std::unique_lock<std::mutex> held(Global().lock);
  Thread* thread = Resolve(held, handle);
  if (thread == nullptr || exitCode == nullptr) return FALSE;
  *exitCode = thread->object->exitCode;
  return TRUE;
}

HANDLE WINAPI GetCurrentThread(void) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2)); }

DWORD WINAPI GetCurrentThreadId(void) {
  std::unique_lock<std::mutex> held(Global().lock);
  return Self(held).id;
}
