// The headless scheduler: order, determinism, charged time, the safety limit and deadlocks.
#include <atomic>
#include <sstream>
#include <thread>

#include "Fixture.h"

namespace {

using Scheduler = HostTest;
using SchedulerDeathTest = HostTest;

std::vector<std::string> order;

DWORD WINAPI Note(LPVOID parameter) {
  auto name = static_cast<const char*>(parameter);
  for (int i = 0; i < 2; ++i) {
    order.push_back(std::string(name) + std::to_string(i));
    Sleep(0);  // yields to the next runnable thread without time passing
  }
  return 0;
}

TEST_F(Scheduler, RunsReadyThreadsInCreationOrderWithoutTimePassing) {
  order.clear();
  HANDLE a = CreateThread(nullptr, 0, Note, const_cast<char*>("a"), 0, nullptr);
  HANDLE b = CreateThread(nullptr, 0, Note, const_cast<char*>("b"), 0, nullptr);
  EXPECT_TRUE(order.empty()) << "a new thread waits until the creator blocks";
  HANDLE both[] = {a, b};
  WaitForMultipleObjects(2, both, TRUE, INFINITE);
  EXPECT_EQ(order, (std::vector<std::string>{"a0", "b0", "a1", "b1"}));
  EXPECT_EQ(vt::VirtualTimeMs(), 0u);
}

// A small program: two workers passing an event back and forth, a timer, and scripted keys.
struct Outcome {
  std::vector<std::string> trace;
  std::string events;
  std::uint64_t endMs;
};

std::ostringstream* journal;
HANDLE ping, pong;

DWORD WINAPI Pinger(LPVOID) {
  for (int i = 0; i < 5; ++i) {
    SetEvent(ping);
    WaitForSingleObject(pong, 1000);
    *journal << "ping" << i << '@' << vt::VirtualTimeUs() << ' ';
    Sleep(3);
  }
  return 0;
}

DWORD WINAPI Ponger(LPVOID) {
  for (int i = 0; i < 5; ++i) {
    WaitForSingleObject(ping, 1000);
    Sleep(2);
    SetEvent(pong);
    *journal << "pong" << i << '@' << vt::VirtualTimeUs() << ' ';
  }
  return 0;
}

void CALLBACK Tick(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) { *journal << "tick@" << vt::VirtualTimeUs() << ' '; }

Outcome RunOnce(HWND (*makeWindow)()) {
  std::ostringstream out;
  journal = &out;
  vt::HeadlessOptions options;
  options.recordTrace = true;
  vt::UseHeadlessHost(options);
  HWND hwnd = makeWindow();
  vt::KeyPress(7, 'P', 14, 5, 5);  // down 7, repeated 12 and 17, up 21
  ping = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  pong = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  UINT timer = timeSetEvent(4, 0, Tick, 0, TIME_PERIODIC);
  HANDLE threads[] = {CreateThread(nullptr, 0, Pinger, nullptr, 0, nullptr),
                      CreateThread(nullptr, 0, Ponger, nullptr, 0, nullptr)};
  while (WaitForMultipleObjects(2, threads, TRUE, 0) != WAIT_OBJECT_0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
      out << "key" << msg.wParam << (msg.message == WM_KEYDOWN ? "down" : "up") << '@' << msg.time << ' ';
  }
  timeKillEvent(timer);
  DestroyWindow(hwnd);
  Outcome run{vt::SchedulerTrace(), out.str(), vt::VirtualTimeMs()};
  vt::ResetHost();
  return run;
}

HWND MakeSchedulerWindow() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "scheduler";
  RegisterClassA(&wc);
  return CreateWindowExA(0, "scheduler", "", WS_POPUP, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
}

TEST_F(Scheduler, TwoRunsGiveIdenticalInterleavingsAndResults) {
  Outcome first = RunOnce(MakeSchedulerWindow);
  Outcome second = RunOnce(MakeSchedulerWindow);
  EXPECT_GT(first.trace.size(), 20u);
  EXPECT_EQ(first.trace, second.trace);
  EXPECT_EQ(first.events, second.events);
  EXPECT_EQ(first.endMs, second.endMs);
  EXPECT_NE(first.events.find("key80down@7"), std::string::npos) << first.events;
  EXPECT_NE(first.events.find("key80down@17"), std::string::npos) << first.events;
  EXPECT_NE(first.events.find("key80up@21"), std::string::npos) << first.events;
  EXPECT_NE(first.events.find("pong0@2000"), std::string::npos) << first.events;
  EXPECT_NE(first.events.find("ping0@2000"), std::string::npos) << first.events;
  // Five rounds of 2 ms + 3 ms end at 25 ms; the main thread's 5 ms poll sees it a little later.
  EXPECT_GE(first.endMs, 25u);
  EXPECT_LE(first.endMs, 30u);
  vt::UseHeadlessHost();  // for TearDown
}

TEST_F(Scheduler, ChargedFrameTimeIsSleptByTheNextPeek) {
  vt::ChargeFrame(100, 40);
  vt::ChargeFrame(100, 5);
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
  EXPECT_EQ(vt::VirtualTimeMs(), 0u) << "not due yet";
  Sleep(120);
  PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
  EXPECT_EQ(vt::VirtualTimeMs(), 160u);
  PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
  EXPECT_EQ(vt::VirtualTimeMs(), 165u);
  PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
  EXPECT_EQ(vt::VirtualTimeMs(), 165u);
}

TEST_F(Scheduler, SafetyLimitClosesTheWindow) {
  vt::HeadlessOptions options;
  options.timeLimitMs = 1000;
  vt::UseHeadlessHost(options);
  HWND hwnd = MakeWindow(WS_POPUP);
  while (IsWindow(hwnd)) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 250, QS_ALLINPUT);
    Pump();
  }
  EXPECT_EQ(vt::VirtualTimeMs(), 1000u);
  EXPECT_EQ(Messages({WM_CLOSE, WM_DESTROY}), (std::vector<UINT>{WM_CLOSE, WM_DESTROY}));
}

TEST_F(Scheduler, SafetyLimitCanPressEscape) {
  vt::HeadlessOptions options;
  options.timeLimitMs = 500;
  options.limitAction = vt::LimitAction::Escape;
  vt::UseHeadlessHost(options);
  MakeWindow(WS_POPUP);
  MSG msg;
  while (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) MsgWaitForMultipleObjects(0, nullptr, FALSE, 150, QS_ALLINPUT);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_ESCAPE));
  EXPECT_EQ(vt::VirtualTimeMs(), 500u);
}

LRESULT CALLBACK Stubborn(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return message == WM_CLOSE ? 0 : DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(SchedulerDeathTest, AProgramThatIgnoresTheLimitIsAborted) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        vt::HeadlessOptions options;
        options.timeLimitMs = 100;
        options.graceMs = 100;
        vt::UseHeadlessHost(options);
        MakeWindow(WS_POPUP, 64, 48, Stubborn);
        for (;;) {
          MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
          Pump();
        }
      },
      "still runs after the virtual time limit");
}

DWORD WINAPI WaitForever(LPVOID parameter) {
  WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
  return 0;
}

TEST_F(SchedulerDeathTest, EveryThreadBlockedWithoutADeadlineAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        CreateThread(nullptr, 0, WaitForever, event, 0, nullptr);
        Sleep(30);
        WaitForSingleObject(event, INFINITE);
      },
      "every thread is blocked and none has a deadline \\(deadlock\\) at 30 ms");
}

TEST_F(SchedulerDeathTest, ForeignThreadsAreRefused) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        std::thread foreign([] { Sleep(1); });
        foreign.join();
      },
      "not created by CreateThread");
}

}  // namespace
