// The headless host: a virtual clock and a scheduler that runs one platform thread at a time.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Host.h"
#include "testing.h"

namespace vemora::platform {

class HeadlessHost final : public Host {
 public:
  explicit HeadlessHost(const testing::HeadlessOptions& options) : options_(options) {}

  bool Headless() const override { return true; }
  std::uint64_t NowUs() override { return now_; }
  std::int64_t EpochSeconds() override { return options_.epochSeconds; }

  void Block(std::unique_lock<std::mutex>& held, Thread& self) override;
  void Changed() override {}
  void Start(std::unique_lock<std::mutex>& held, Thread& thread) override;
  void Enter(std::unique_lock<std::mutex>& held, Thread& self) override;
  void Leave(std::unique_lock<std::mutex>& held, Thread& self) override;
  [[noreturn]] void Park(std::unique_lock<std::mutex>& held, Thread& self) override;
  void Rejoin(std::unique_lock<std::mutex>& held, Thread& self) override;
  std::uint64_t TakeCharge(Thread& self) override;

  // The calling thread gives up its turn and runs on beside the others (testing.h).
  void LeaveScheduler(std::unique_lock<std::mutex>& held, Thread& self);

  void ScreenSize(int& width, int& height) override {
    width = options_.screenWidth;
    height = options_.screenHeight;
  }
  int MessageBox(HWND owner, const char* text, const char* caption, UINT style) override;

  // Scripted host actions (lock held): run on the scheduler when the clock reaches them.
  void Schedule(std::uint64_t atUs, std::function<void()> action);
  void AddCharge(std::uint64_t afterUs, std::uint64_t sleepUs);

  const std::vector<testing::MessageBoxRecord>& MessageBoxes() const { return messageBoxes_; }
  const std::vector<std::string>& Trace() const { return trace_; }
  std::uint64_t Handovers() const { return handovers_; }

 private:
  struct Scripted {
    std::uint64_t atUs;
    std::uint64_t order;
    std::function<void()> action;
  };
  struct Charge {
    std::uint64_t afterUs;
    std::uint64_t sleepUs;
  };

  // Hands the baton to the next thread that can run, advancing the clock when none can.
  Thread* PickNext(std::unique_lock<std::mutex>& held, const Thread* from);
  bool OthersOutside(const Thread* from) const;
  void HandOver(Thread* from, Thread* to);
  void RunDue();
  void AdvanceTo(std::uint64_t time);

  testing::HeadlessOptions options_;
  std::uint64_t now_ = 0;
  std::vector<Scripted> scripted_;  // sorted by (atUs, order)
  std::uint64_t scriptedOrder_ = 0;
  std::vector<Charge> charges_;     // sorted by afterUs
  std::vector<testing::MessageBoxRecord> messageBoxes_;
  std::vector<std::string> trace_;
  std::uint64_t handovers_ = 0;
  int limitStage_ = 0;
  std::condition_variable rejoined_;  // a thread outside the scheduler came back or stopped
};

}  // namespace vemora::platform
