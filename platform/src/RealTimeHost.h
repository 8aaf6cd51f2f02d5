// What the hosts that run in real time share: the steady clock, the local calendar, and
// threads that run freely, a blocked one sleeping until something it may wait for changes. The
// main thread brings in host input (PumpInput) every few milliseconds while it waits for
// messages, since input reaches the program through it alone.
#pragma once

#include <chrono>
#include <condition_variable>

#include "Host.h"

namespace vemora::platform {

class RealTimeHost : public Host {
 public:
  RealTimeHost();

  std::uint64_t NowUs() override;
  std::int64_t EpochSeconds() override { return epoch_; }
  std::int64_t UtcOffsetSeconds() override { return utcOffset_; }

  void Block(std::unique_lock<std::mutex>& held, Thread& self) override;
  void Changed() override { changed_.notify_all(); }
  [[noreturn]] void Park(std::unique_lock<std::mutex>& held, Thread& self) override;
  void Start(std::unique_lock<std::mutex>& held, Thread& thread) override;
  void Enter(std::unique_lock<std::mutex>& held, Thread& self) override;
  void Leave(std::unique_lock<std::mutex>& held, Thread& self) override {}

 private:
  using Clock = std::chrono::steady_clock;

  Clock::time_point start_;
  std::int64_t epoch_ = 0;
  std::int64_t utcOffset_ = 0;
  std::condition_variable changed_;
};

}  // namespace vemora::platform
