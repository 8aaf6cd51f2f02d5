// Events, waits, threads and clocks on the headless host.
#include <atomic>
#include <cfenv>
#include <thread>

#include "Fixture.h"

namespace {

struct Waiter {
  HANDLE event;
  std::atomic<int>* woken;
};

DWORD WINAPI WaitOnce(LPVOID parameter) {
  auto* waiter = static_cast<Waiter*>(parameter);
  if (WaitForSingleObject(waiter->event, INFINITE) == WAIT_OBJECT_0) ++*waiter->woken;
  return 0;
}

using Events = HostTest;
using Waits = HostTest;
using Threads = HostTest;
using Clocks = HostTest;

TEST_F(Events, AutoResetReleasesOneWaiterPerSignal) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::atomic<int> woken{0};
  Waiter waiter{event, &woken};
  HANDLE a = CreateThread(nullptr, 0, WaitOnce, &waiter, 0, nullptr);
  HANDLE b = CreateThread(nullptr, 0, WaitOnce, &waiter, 0, nullptr);
  Sleep(1);  // both block
  SetEvent(event);
  Sleep(1);
  EXPECT_EQ(woken.load(), 1);
  EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the signal was consumed";
  SetEvent(event);
  HANDLE both[] = {a, b};
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 100), WAIT_OBJECT_0);
  EXPECT_EQ(woken.load(), 2);
  CloseHandle(a);
  CloseHandle(b);
  CloseHandle(event);
}

TEST_F(Events, ManualResetReleasesEveryWaiterAndStaysSignalled) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> woken{0};
  Waiter waiter{event, &woken};
  HANDLE threads[3];
  for (HANDLE& thread : threads) thread = CreateThread(nullptr, 0, WaitOnce, &waiter, 0, nullptr);
  Sleep(1);
  EXPECT_EQ(woken.load(), 0);
  SetEvent(event);
  EXPECT_EQ(WaitForMultipleObjects(3, threads, TRUE, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(woken.load(), 3);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  ResetEvent(event);
  EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(Events, InitiallySignalledAndClosedHandles) {
  HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(CloseHandle(event));
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(SetEvent(event));
}

TEST_F(Waits, TimeOutsAdvanceTheVirtualClockExactly) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(vt::VirtualTimeMs(), 0u);
  EXPECT_EQ(WaitForSingleObject(event, 250), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(vt::VirtualTimeMs(), 250u);
  Sleep(15);
  EXPECT_EQ(vt::VirtualTimeMs(), 265u);
  EXPECT_EQ(GetTickCount(), 265u);
  EXPECT_EQ(timeGetTime(), 265u);
  EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(vt::VirtualTimeMs(), 265u) << "a zero time-out polls";
}

DWORD WINAPI SignalAfter40(LPVOID parameter) {
  Sleep(40);
  SetEvent(static_cast<HANDLE>(parameter));
  return 0;
}

TEST_F(Waits, SignalBeforeTimeOutWinsAtTheSignalTime) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, SignalAfter40, event, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 250), WAIT_OBJECT_0);
  EXPECT_EQ(vt::VirtualTimeMs(), 40u);
  CloseHandle(thread);
}

TEST_F(Waits, AnyReturnsTheLowestSignalledIndexAllNeedsEvery) {
  HANDLE events[3];
  for (HANDLE& event : events) event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetEvent(events[2]);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 10), static_cast<DWORD>(WAIT_TIMEOUT));
  SetEvent(events[0]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 10), WAIT_OBJECT_0);
}

TEST_F(Waits, CountsOutsideOneToSixtyFourFail) {
  std::vector<HANDLE> events(65);
  for (HANDLE& event : events) event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(WaitForMultipleObjects(64, events.data(), TRUE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForMultipleObjects(65, events.data(), FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForMultipleObjects(0, events.data(), FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

DWORD WINAPI Return42(LPVOID) {
  Sleep(5);
  return 42;
}

TEST_F(Threads, HandleIsSignalledWithTheExitCodeOnReturn) {
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, Return42, nullptr, 0, &id);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(vt::VirtualTimeMs(), 5u);
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "stays signalled";
}

std::atomic<bool> resumed{false};

DWORD WINAPI BlockForever(LPVOID parameter) {
  WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
  resumed = true;
  return 1;
}

TEST_F(Threads, TerminatedThreadIsNeverResumedAndGetsTheGivenCode) {
  resumed = false;
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, BlockForever, event, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 500), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(TerminateThread(thread, 7));
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  SetEvent(event);
  Sleep(100);
  EXPECT_FALSE(resumed.load());
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 7u);
}

// A thread busy outside the platform until `go`, then making one platform call.
struct Busy {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> go{false};
  std::atomic<int> progress{0};
};

DWORD WINAPI BusyThenSignal(LPVOID parameter) {
  auto* busy = static_cast<Busy*>(parameter);
  vt::LeaveScheduler();
  while (!busy->go) std::this_thread::yield();
  busy->progress = 1;
  SetEvent(busy->event);
  busy->progress = 2;
  return 3;
}

void LetGoAndWaitForItsCall(Busy& busy) {
  busy.go = true;
  while (vt::ThreadsOutsideScheduler() > 0) std::this_thread::yield();
}

TEST_F(Threads, ABusyThreadTakesItsTurnAgainAtItsNextPlatformCall) {
  Busy busy;
  HANDLE thread = CreateThread(nullptr, 0, BusyThenSignal, &busy, 0, nullptr);
  Sleep(1);
  EXPECT_EQ(vt::ThreadsOutsideScheduler(), 1);
  EXPECT_EQ(WaitForSingleObject(busy.event, 200), static_cast<DWORD>(WAIT_TIMEOUT));
  LetGoAndWaitForItsCall(busy);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(busy.progress.load(), 2);
  EXPECT_EQ(WaitForSingleObject(busy.event, 0), WAIT_OBJECT_0);
}

TEST_F(Threads, ATerminatedBusyThreadHasStoppedOnlyOnceItReachesThePlatform) {
  Busy busy;
  HANDLE thread = CreateThread(nullptr, 0, BusyThenSignal, &busy, 0, nullptr);
  Sleep(1);
  EXPECT_TRUE(TerminateThread(thread, 9));
  // Still running: nothing it may touch can go yet.
  EXPECT_EQ(WaitForSingleObject(thread, 200), static_cast<DWORD>(WAIT_TIMEOUT));
  LetGoAndWaitForItsCall(busy);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  Sleep(100);
  EXPECT_EQ(busy.progress.load(), 1) << "it stopped inside its next call";
  EXPECT_EQ(WaitForSingleObject(busy.event, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "and the call did nothing";
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 9u);
}

DWORD WINAPI RoundingMode(LPVOID) { return static_cast<DWORD>(std::fegetround()); }

TEST_F(Threads, StartWithTheDefaultRoundingModeWhateverTheCreatorUses) {
  ASSERT_EQ(std::fesetround(FE_TOWARDZERO), 0);
  HANDLE thread = CreateThread(nullptr, 0, RoundingMode, nullptr, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  DWORD mode = 0;
  GetExitCodeThread(thread, &mode);
  EXPECT_EQ(static_cast<int>(mode), FE_TONEAREST);
  EXPECT_EQ(std::fegetround(), FE_TOWARDZERO) << "the creator keeps its own";
  std::fesetround(FE_TONEAREST);
}

TEST_F(Threads, PriorityIsKeptAndInvalidValuesRefused) {
  HANDLE thread = CreateThread(nullptr, 0, Return42, nullptr, 0, nullptr);
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_NORMAL);
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL));
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_TIME_CRITICAL);
  EXPECT_FALSE(SetThreadPriority(thread, 7));
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_TIME_CRITICAL);
  EXPECT_EQ(GetThreadPriority(nullptr), THREAD_PRIORITY_ERROR_RETURN);
  WaitForSingleObject(thread, INFINITE);
}

TEST_F(Clocks, LocalTimeStartsAtTheFixedEpochAndFollowsVirtualTime) {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  EXPECT_EQ(t.wYear, 2000);
  EXPECT_EQ(t.wMonth, 1);
  EXPECT_EQ(t.wDay, 1);
  EXPECT_EQ(t.wDayOfWeek, 6);  // a Saturday
  EXPECT_EQ(t.wHour, 12);
  EXPECT_EQ(t.wMinute, 0);
  EXPECT_EQ(t.wSecond, 0);
  Sleep(61500);
  GetLocalTime(&t);
  EXPECT_EQ(t.wMinute, 1);
  EXPECT_EQ(t.wSecond, 1);
  EXPECT_EQ(t.wMilliseconds, 500);
  SYSTEMTIME utc{};
  GetSystemTime(&utc);
  EXPECT_EQ(utc.wHour, t.wHour);
}

}  // namespace
