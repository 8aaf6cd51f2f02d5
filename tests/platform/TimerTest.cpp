// Multimedia timer on the virtual clock.
#include <atomic>

#include "Fixture.h"

namespace {

using Timer = HostTest;

struct Ticks {
  HANDLE event = nullptr;
  std::vector<std::uint64_t> at;
  std::atomic<bool> inside{false};
  std::atomic<int> after{0};
  UINT selfKill = 0;
};
Ticks ticks;

void ResetTicks() {
  ticks.event = nullptr;
  ticks.at.clear();
  ticks.inside = false;
  ticks.after = 0;
}

void CALLBACK CountTick(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  ticks.at.push_back(vt::VirtualTimeMs());
  if (ticks.event != nullptr) SetEvent(ticks.event);
}

TEST_F(Timer, PeriodicCallbacksComeEveryPeriod) {
  ResetTicks();
  UINT id = timeSetEvent(15, 0, CountTick, 0, TIME_PERIODIC);
  ASSERT_NE(id, 0u);
  Sleep(100);
  EXPECT_EQ(ticks.at, (std::vector<std::uint64_t>{15, 30, 45, 60, 75, 90}));
  EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(TIMERR_NOERROR));
  Sleep(100);
  EXPECT_EQ(ticks.at.size(), 6u);
  EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
  EXPECT_EQ(timeBeginPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
  EXPECT_EQ(timeEndPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
}

TEST_F(Timer, OneShotFiresOnceAndItsIdIsThenInvalid) {
  ResetTicks();
  UINT id = timeSetEvent(40, 0, CountTick, 0, TIME_ONESHOT);
  Sleep(200);
  EXPECT_EQ(ticks.at, (std::vector<std::uint64_t>{40}));
  EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
}

TEST_F(Timer, CallbackSignalsAnAutoResetEventThatTheMainThreadWaitsFor) {
  ResetTicks();
  ticks.event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  UINT id = timeSetEvent(15, 0, CountTick, 0, TIME_PERIODIC);
  std::vector<std::uint64_t> woke;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &ticks.event, FALSE, 250, QS_ALLINPUT), WAIT_OBJECT_0);
    woke.push_back(vt::VirtualTimeMs());
    if (i == 1) Sleep(40);  // a slow frame: ticks collapse into one wake-up
  }
  EXPECT_EQ(woke, (std::vector<std::uint64_t>{15, 30, 70}));
  EXPECT_EQ(ticks.at.size(), 4u);  // 15 30 45 60 counted, 70 woke on the collapsed signal
  timeKillEvent(id);
  CloseHandle(ticks.event);
}

void CALLBACK SlowTick(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  ticks.inside = true;
  SetEvent(ticks.event);
  Sleep(10);  // the main thread runs meanwhile
  ticks.after++;
  ticks.inside = false;
}

TEST_F(Timer, KillWaitsForACallbackInProgress) {
  ResetTicks();
  ticks.event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  UINT id = timeSetEvent(15, 0, SlowTick, 0, TIME_PERIODIC);
  ASSERT_EQ(WaitForSingleObject(ticks.event, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(ticks.inside.load());
  EXPECT_EQ(vt::VirtualTimeMs(), 15u);
  timeKillEvent(id);
  EXPECT_FALSE(ticks.inside.load()) << "returned only after the callback finished";
  EXPECT_EQ(ticks.after.load(), 1);
  EXPECT_EQ(vt::VirtualTimeMs(), 25u);
  Sleep(100);
  EXPECT_EQ(ticks.after.load(), 1) << "no callback after timeKillEvent";
}

void CALLBACK KillItself(UINT id, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  ticks.at.push_back(vt::VirtualTimeMs());
  if (ticks.at.size() == 2) timeKillEvent(id);
}

TEST_F(Timer, CallbackMayKillItsOwnTimer) {
  ResetTicks();
  timeSetEvent(10, 0, KillItself, 0, TIME_PERIODIC);
  Sleep(100);
  EXPECT_EQ(ticks.at, (std::vector<std::uint64_t>{10, 20}));
}

}  // namespace
