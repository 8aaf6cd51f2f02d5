// Shared state of the emulated Win32 services. One lock guards all of it; the host decides
// how a blocked thread is resumed (real time, or the headless scheduler's virtual clock).
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace vemora::platform {

class Host;
struct Window;

constexpr std::uint64_t kNoDeadline = UINT64_MAX;

enum class ObjectKind { Event, Thread };

struct Object {
  ObjectKind kind;
  bool signalled = false;
  bool manualReset = false;
  int references = 1;  // open handles, plus one while a thread runs
  struct Thread* thread = nullptr;
  DWORD exitCode = STILL_ACTIVE;
};

// A message sent from outside the owner thread (host input, another thread); delivered to the
// window procedure inside the owner's next message call. `rect` backs a RECT* lParam.
struct SentMessage {
  UINT window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool lParamIsRect;
  RECT rect;
};

struct MessageQueue {
  std::deque<MSG> posted;
  std::deque<SentMessage> sent;
  bool quit = false;
  int quitCode = 0;
};

// Unscheduled: on the headless host, running beside the scheduled threads (see testing.h).
enum class ThreadState { Ready, Running, Blocked, Unscheduled, Exited };

struct Thread {
  int index = 0;  // creation order: the headless host's scheduling order
  DWORD id = 0;
  UINT handle = 0;  // handle id of the thread object owned by the record
  Object* object = nullptr;
  ThreadState state = ThreadState::Ready;
  bool terminated = false;  // stops at its next platform call, or stays in the wait it is in
  bool entered = false;     // its start routine has begun
  bool suspended = false;
  bool baton = false;  // headless host: this thread may run
  int priority = THREAD_PRIORITY_NORMAL;
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID parameter = nullptr;
  std::condition_variable wake;

  // The wait in progress.
  const HANDLE* waitHandles = nullptr;
  DWORD waitCount = 0;
  bool waitAll = false;
  DWORD wakeMask = 0;
  std::uint64_t deadline = kNoDeadline;
  DWORD waitResult = 0;

  MessageQueue queue;
};

struct State {
  std::mutex lock;
  Host* host = nullptr;
  std::vector<Thread*> threads;
  std::vector<Object*> objects;  // index = handle id - 1; ids are never reused
  DWORD nextThreadId = 1;
  unsigned generation = 1;  // bumped by a host reset: old thread bindings become invalid
};

State& Global();
// Starts the program's first host (host.h) when none runs yet; aborts when none was chosen.
Host& CurrentHost();

// Host choice (HostChoice.cpp). The first host, or null when the program named none.
Host* StartFirstHost();
// Ends the run, forgetting its threads, windows, dialogs, DirectDraw objects and sound faults,
// and lets `host` (or none) take over, with the caller as its main thread (lock held).
void ReplaceHost(std::unique_lock<std::mutex>& held, Host* host);

// The record of the calling thread; the first thread that asks becomes the main thread.
// Passes the checkpoint below.
Thread& Self(std::unique_lock<std::mutex>& held);

// Where a program thread enters the platform: a terminated thread stops here for good, and one
// that ran outside the headless scheduler waits for its turn again. Entry points that do not
// call Self pass it first, before taking any lock of their own. Threads the platform does not
// know (a sound library's callback thread) pass freely.
void Checkpoint(std::unique_lock<std::mutex>& held);
void Checkpoint();

[[noreturn]] void Fatal(const char* what);

void Bind(Thread* thread);
DWORD GetError();
void SetError(DWORD error);

HANDLE ToHandle(UINT id);
Object* Lookup(HANDLE handle);  // lock held; null for invalid or closed handles
UINT AddObject(Object* object);  // lock held; returns the handle id
void Release(Object* object);
bool CloseLocked(HANDLE handle);  // lock held

// Waits (lock held on entry and exit). Deadline in host microseconds, or kNoDeadline.
DWORD WaitUntil(std::unique_lock<std::mutex>& held, Thread& self, const HANDLE* handles, DWORD count, bool all,
                DWORD wakeMask, std::uint64_t deadline);
DWORD WaitFor(const HANDLE* handles, DWORD count, bool all, DWORD wakeMask, DWORD milliseconds);

// Used by the hosts: does the blocked thread's wait succeed now? Consumes auto-reset signals.
bool TrySatisfy(Thread& thread, DWORD& result);
bool HasInput(const Thread& thread, DWORD wakeMask);

// The OS thread of every CreateThread: waits for the host, runs the start routine, signals the handle.
void RunThread(Thread* thread);

}  // namespace vemora::platform
