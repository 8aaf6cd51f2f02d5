#include "RealTimeHost.h"

#include <algorithm>
#include <ctime>
#include <thread>

namespace vemora::platform {

namespace {

constexpr std::uint64_t kPumpIntervalUs = 4000;  // input latency while the main thread waits

}  // namespace

RealTimeHost::RealTimeHost() : start_(Clock::now()) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  utcOffset_ = local.tm_gmtoff;
  epoch_ = static_cast<std::int64_t>(now) + utcOffset_;
}

std::uint64_t RealTimeHost::NowUs() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start_).count());
}

void RealTimeHost::Block(std::unique_lock<std::mutex>& held, Thread& self) {
  self.state = ThreadState::Blocked;
  for (;;) {
    if (self.terminated) Park(held, self);
    DWORD result;
    if (TrySatisfy(self, result)) {
      self.waitResult = result;
      break;
    }
    std::uint64_t now = NowUs();
    if (self.deadline <= now) {
      self.waitResult = WAIT_TIMEOUT;
      break;
    }
    std::uint64_t until = self.deadline;
    if (self.index == 0 && self.wakeMask != 0) {
      PumpInput(held, self);
      if (TrySatisfy(self, result)) {
        self.waitResult = result;
        break;
      }
      until = std::min(until, now + kPumpIntervalUs);
    }
    if (until == kNoDeadline)
      changed_.wait(held);
    else
      changed_.wait_until(held, start_ + std::chrono::microseconds(until));
  }
  self.state = ThreadState::Running;
}

void RealTimeHost::Park(std::unique_lock<std::mutex>& held, Thread&) {
  for (;;) changed_.wait(held);
}

void RealTimeHost::Start(std::unique_lock<std::mutex>&, Thread& thread) {
  thread.state = ThreadState::Running;
  std::thread(RunThread, &thread).detach();
}

void RealTimeHost::Enter(std::unique_lock<std::mutex>& held, Thread& self) {
  while (self.suspended || self.terminated) changed_.wait(held);
}

}  // namespace vemora::platform
