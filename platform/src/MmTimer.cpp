// Multimedia timer: one platform thread per timer, so its waits run on the host's clock.
#include <mmsystem.h>

#include <map>

#include "Core.h"
#include "Host.h"

using namespace vemora::platform;

namespace {

struct Timer {
  UINT id;
  std::uint64_t periodUs;
  std::uint64_t firstDue;
  bool periodic;
  LPTIMECALLBACK callback;
  DWORD_PTR user;
  HANDLE stop;    // manual-reset event, set by timeKillEvent
  HANDLE thread;
  DWORD threadId;
  bool killedBySelf;
};

std::map<UINT, Timer*>& timers = *new std::map<UINT, Timer*>;  // guarded by the platform lock
UINT nextTimerId = 1;

void Free(Timer* timer) {
  CloseLocked(timer->stop);
  CloseLocked(timer->thread);
  delete timer;
}

DWORD WINAPI TimerThread(LPVOID parameter) {
  auto* timer = static_cast<Timer*>(parameter);
  std::uint64_t due = timer->firstDue;
  for (;;) {
    {
      std::unique_lock<std::mutex> held(Global().lock);
      Thread& self = Self(held);
      // Killed by another thread, which frees the record once this thread has ended.
      if (WaitUntil(held, self, &timer->stop, 1, false, 0, due) != WAIT_TIMEOUT) return 0;
    }
    timer->callback(timer->id, 0, timer->user, 0, 0);
    std::unique_lock<std::mutex> held(Global().lock);
    if (timer->killedBySelf || (!timer->periodic && timers.erase(timer->id) != 0)) {
      // Nobody waits for this thread: it frees the record itself. A fired one-shot id is invalid.
      Free(timer);
      return 0;
    }
    if (!timer->periodic) return 0;
    // A late callback does not make the next ones come in a burst.
    std::uint64_t now = CurrentHost().NowUs();
    due += timer->periodUs;
    if (due < now) due = now;
  }
}

}  // namespace

MMRESULT WINAPI timeSetEvent(UINT delay, UINT, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
  if (callback == nullptr || delay == 0) return 0;
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::unique_lock<std::mutex> held(Global().lock);
  auto* timer = new Timer{nextTimerId++, std::uint64_t{delay} * 1000, 0, (flags & TIME_PERIODIC) != 0,
                          callback, user, stop, nullptr, 0, false};
  timer->firstDue = CurrentHost().NowUs() + timer->periodUs;
  timers[timer->id] = timer;
  UINT id = timer->id;
  held.unlock();
  // Suspended until the record is complete: a one-shot thread may free it.
  HANDLE thread = CreateThread(nullptr, 0, TimerThread, timer, CREATE_SUSPENDED, &timer->threadId);
  held.lock();
  timer->thread = thread;
  held.unlock();
  ResumeThread(thread);
  return id;
}

MMRESULT WINAPI timeKillEvent(UINT id) {
  std::unique_lock<std::mutex> held(Global().lock);
  auto it = timers.find(id);
  if (it == timers.end()) return MMSYSERR_INVALPARAM;
  Timer* timer = it->second;
  timers.erase(it);
  Object* stop = Lookup(timer->stop);
  stop->signalled = true;
  CurrentHost().Changed();
  Thread& self = Self(held);
  if (self.id == timer->threadId) {
    timer->killedBySelf = true;  // from inside its own callback: the timer thread frees it
    return TIMERR_NOERROR;
  }
  // Waits for a callback in progress: none runs after this returns.
  WaitUntil(held, self, &timer->thread, 1, false, 0, kNoDeadline);
  Free(timer);
  return TIMERR_NOERROR;
}

MMRESULT WINAPI timeBeginPeriod(UINT) { return TIMERR_NOERROR; }
MMRESULT WINAPI timeEndPeriod(UINT) { return TIMERR_NOERROR; }

DWORD WINAPI timeGetTime(void) {
  std::unique_lock<std::mutex> held(Global().lock);
  return static_cast<DWORD>(CurrentHost().NowUs() / 1000);
}
