#include "Core.h"

#include <cfenv>
#include <cstdio>
#include <cstdlib>

#include "Host.h"
#include "Window.h"

namespace vemora::platform {

namespace {

struct ThreadBinding {
  Thread* thread = nullptr;
  unsigned generation = 0;
};
thread_local ThreadBinding binding;
thread_local DWORD lastError = 0;

}  // namespace

State& Global() {
  // Never destroyed: threads that were terminated or abandoned stay blocked on its lock.
  static State* state = new State;
  return *state;
}

Host& CurrentHost() {
  Host* host = Global().host;
  if (host == nullptr) host = StartFirstHost();
  if (host == nullptr) Fatal("no host chosen (call UseHeadlessHost or UseSdlHost first)");
  return *host;
}

void Fatal(const char* what) {
  std::fprintf(stderr, "vemora platform: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

void Bind(Thread* thread) {
  binding.thread = thread;
  binding.generation = Global().generation;
}

static Thread* Bound() {
  return binding.thread != nullptr && binding.generation == Global().generation ? binding.thread : nullptr;
}

static void Checkpoint(std::unique_lock<std::mutex>& held, Thread& self) {
  Host& host = CurrentHost();
  if (self.state == ThreadState::Unscheduled) host.Rejoin(held, self);
  if (!self.terminated) return;
  // Windows ends a terminated thread at once; ours ends here, and only now has it stopped.
  self.object->signalled = true;
  host.Changed();
  host.Park(held, self);
}

void Checkpoint(std::unique_lock<std::mutex>& held) {
  if (Thread* self = Bound()) Checkpoint(held, *self);
}

void Checkpoint() {
  std::unique_lock<std::mutex> held(Global().lock);
  Checkpoint(held);
}

Thread& Self(std::unique_lock<std::mutex>& held) {
  State& state = Global();
  if (Thread* bound = Bound()) {
    if (bound->terminated || bound->state == ThreadState::Unscheduled) Checkpoint(held, *bound);
    return *bound;
  }
  Host& host = CurrentHost();
  if (!state.threads.empty() && !host.AdoptsForeignThreads())
    Fatal("a thread not created by CreateThread called the platform on a host that cannot take it in");
  auto* thread = new Thread;
  thread->index = static_cast<int>(state.threads.size());
  thread->id = state.nextThreadId++;
  thread->state = ThreadState::Running;
  thread->baton = true;
  thread->entered = true;
  auto* object = new Object{ObjectKind::Thread};
  object->thread = thread;
  object->references = 2;
  thread->object = object;
  thread->handle = AddObject(object);
  state.threads.push_back(thread);
  Bind(thread);
  return *thread;
}

HANDLE ToHandle(UINT id) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(id) * 4); }

Object* Lookup(HANDLE handle) {
  auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value == 0 || value % 4 != 0) return nullptr;
  std::uintptr_t index = value / 4 - 1;
  State& state = Global();
  if (index >= state.objects.size()) return nullptr;
  return state.objects[index];
}

UINT AddObject(Object* object) {
  State& state = Global();
  state.objects.push_back(object);
  return static_cast<UINT>(state.objects.size());
}

void Release(Object* object) {
  if (--object->references == 0) delete object;
}

bool CloseLocked(HANDLE handle) {
  Object* object = Lookup(handle);
  if (object == nullptr) return false;
  Global().objects[reinterpret_cast<std::uintptr_t>(handle) / 4 - 1] = nullptr;
  Release(object);
  return true;
}

DWORD GetError() { return lastError; }
void SetError(DWORD error) { lastError = error; }

bool HasInput(const Thread& thread, DWORD wakeMask) {
  const MessageQueue& queue = thread.queue;
  if ((wakeMask & QS_SENDMESSAGE) && !queue.sent.empty()) return true;
  if ((wakeMask & (QS_POSTMESSAGE | QS_ALLPOSTMESSAGE | QS_KEY)) && (!queue.posted.empty() || queue.quit))
    return true;
  if ((wakeMask & QS_PAINT) && AnyWindowNeedsPaint(thread)) return true;
  return false;
}

static void Consume(Object* object) {
  if (object->kind == ObjectKind::Event && !object->manualReset) object->signalled = false;
}

bool TrySatisfy(Thread& thread, DWORD& result) {
  if (thread.waitCount == 0 && thread.wakeMask == 0) return false;
  bool input = thread.wakeMask != 0 && HasInput(thread, thread.wakeMask);
  if (thread.waitAll && thread.waitCount > 0) {
    for (DWORD i = 0; i < thread.waitCount; ++i) {
      Object* object = Lookup(thread.waitHandles[i]);
      if (object == nullptr) {
        result = WAIT_FAILED;
        return true;
      }
      if (!object->signalled) return false;
    }
    if (thread.wakeMask != 0 && !input) return false;
    for (DWORD i = 0; i < thread.waitCount; ++i) Consume(Lookup(thread.waitHandles[i]));
    result = WAIT_OBJECT_0;
    return true;
  }
  for (DWORD i = 0; i < thread.waitCount; ++i) {
    Object* object = Lookup(thread.waitHandles[i]);
    if (object == nullptr) {
      result = WAIT_FAILED;
      return true;
    }
    if (object->signalled) {
      Consume(object);
      result = WAIT_OBJECT_0 + i;
      return true;
    }
  }
  if (input) {
    result = WAIT_OBJECT_0 + thread.waitCount;
    return true;
  }
  return false;
}

DWORD WaitUntil(std::unique_lock<std::mutex>& held, Thread& self, const HANDLE* handles, DWORD count, bool all,
                DWORD wakeMask, std::uint64_t deadline) {
  if (count > MAXIMUM_WAIT_OBJECTS || (count > 0 && handles == nullptr)) {
    SetError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  for (DWORD i = 0; i < count; ++i) {
    if (Lookup(handles[i]) == nullptr) {
      SetError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
  }
  Host& host = CurrentHost();
  self.waitHandles = handles;
  self.waitCount = count;
  self.waitAll = all;
  self.wakeMask = wakeMask;
  self.deadline = deadline;
  DWORD result;
  bool sleeping = count == 0 && wakeMask == 0;
  if (!TrySatisfy(self, result)) {
    if (!sleeping && deadline <= host.NowUs()) {
      result = WAIT_TIMEOUT;
    } else {
      host.Block(held, self);
      result = self.waitResult;
    }
  }
  self.waitHandles = nullptr;
  self.waitCount = 0;
  self.wakeMask = 0;
  self.deadline = kNoDeadline;
  return result;
}

DWORD WaitFor(const HANDLE* handles, DWORD count, bool all, DWORD wakeMask, DWORD milliseconds) {
  std::unique_lock<std::mutex> held(Global().lock);
  Thread& self = Self(held);
  std::uint64_t deadline =
      milliseconds == INFINITE ? kNoDeadline : CurrentHost().NowUs() + std::uint64_t{milliseconds} * 1000;
  return WaitUntil(held, self, handles, count, all, wakeMask, deadline);
}

void RunThread(Thread* thread) {
  {
    std::unique_lock<std::mutex> held(Global().lock);
    Bind(thread);
    CurrentHost().Enter(held, *thread);
    thread->entered = true;
  }
  // A Win32 thread starts with the default floating-point control; a POSIX thread would
  // inherit the creator's (e.g. the shell's rounding toward zero).
  std::fesetenv(FE_DFL_ENV);
  DWORD code = thread->start(thread->parameter);
  std::unique_lock<std::mutex> held(Global().lock);
  Checkpoint(held, *thread);
  Object* object = thread->object;
  object->exitCode = code;
  object->signalled = true;
  thread->state = ThreadState::Exited;
  Host& host = CurrentHost();
  host.Changed();
  Release(object);
  host.Leave(held, *thread);
}

}  // namespace vemora::platform

using namespace vemora::platform;

DWORD WINAPI GetLastError(void) { return GetError(); }
void WINAPI SetLastError(DWORD error) { SetError(error); }
