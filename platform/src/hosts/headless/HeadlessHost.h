// The headless host: a virtual clock and a scheduler that runs one platform thread at a time.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "BuiltInFace.h"
#include "HeadlessAudio.h"
#include "Host.h"

namespace vemora::platform {

// What the host does when its virtual time limit is reached.
enum class LimitAction {
  Close,   // sends WM_CLOSE to the window
  Escape,  // presses and releases Escape
  Abort,   // prints and aborts at once
};

struct HeadlessOptions {
  int screenWidth = 640;
  int screenHeight = 480;
  std::int64_t epochSeconds = 0;  // local calendar time at virtual time 0
  std::uint64_t timeLimitMs = 0;  // 0: none
  std::uint64_t graceMs = 0;      // after the limit's action, before aborting
  LimitAction limitAction = LimitAction::Close;
  bool recordTrace = false;       // one line per thread handover
};

// A message box as the host answered it.
struct ShownMessageBox {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
  std::uint64_t atMs;
};

class HeadlessHost final : public Host {
 public:
  explicit HeadlessHost(const HeadlessOptions& options) : options_(options) {}

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
  // It runs the threads it started one at a time: a thread from elsewhere has no turn to take.
  bool AdoptsForeignThreads() const override { return false; }

  // The calling thread gives up its turn and runs on beside the others (testing.h).
  void LeaveScheduler(std::unique_lock<std::mutex>& held, Thread& self);

  void ScreenSize(int& width, int& height) override {
    width = options_.screenWidth;
    height = options_.screenHeight;
  }
  bool RecordsFrames() const override { return true; }
  bool ScriptsDialogs() const override { return true; }
  // No fonts of its own: the classic units, so that layouts agree on every machine.
  DialogText& DialogFace() override { return face_; }
  std::vector<std::string> AudioDeviceNames() override { return audio_.DeviceNames(); }
  AudioDevice* OpenAudio(int device, const AudioFormatInfo& format, AudioSource* source) override {
    return audio_.Open(format, source);
  }
  int MessageBox(HWND owner, const char* text, const char* caption, UINT style) override;
  void Retire() override { audio_.ReleaseClosed(); }

  // Scripted host actions (lock held): run on the scheduler when the clock reaches them.
  void Schedule(std::uint64_t atUs, std::function<void()> action);
  void AddCharge(std::uint64_t afterUs, std::uint64_t sleepUs);

  HeadlessAudio& Audio() { return audio_; }
  const std::vector<ShownMessageBox>& MessageBoxes() const { return messageBoxes_; }
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

  HeadlessOptions options_;
  std::uint64_t now_ = 0;
  std::vector<Scripted> scripted_;  // sorted by (atUs, order)
  std::uint64_t scriptedOrder_ = 0;
  std::vector<Charge> charges_;     // sorted by afterUs
  std::vector<ShownMessageBox> messageBoxes_;
  std::vector<std::string> trace_;
  std::uint64_t handovers_ = 0;
  int limitStage_ = 0;
  std::condition_variable rejoined_;  // a thread outside the scheduler came back or stopped
  BuiltInFace face_;
  HeadlessAudio audio_;
};

}  // namespace vemora::platform
