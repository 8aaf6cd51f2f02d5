// What differs between the real (SDL) and the headless host: time, how blocked threads resume,
// and where windows, pixels and message boxes go.
#pragma once

#include "Core.h"

namespace vemora::platform {

class Host {
 public:
  virtual ~Host() = default;

  virtual bool Headless() const = 0;
  virtual std::uint64_t NowUs() = 0;
  // Unix seconds of local time at NowUs() == 0.
  virtual std::int64_t EpochSeconds() = 0;
  // Local time minus UTC, in seconds.
  virtual std::int64_t UtcOffsetSeconds() { return 0; }

  // The calling thread's wait could not be satisfied at once. Returns with `self.waitResult` set,
  // lock held. The host may call TrySatisfy on any blocked thread meanwhile.
  virtual void Block(std::unique_lock<std::mutex>& held, Thread& self) = 0;
  // Something that a blocked thread may wait for has changed.
  virtual void Changed() = 0;
  // A new thread record exists; the host starts the OS thread.
  virtual void Start(std::unique_lock<std::mutex>& held, Thread& thread) = 0;
  // Called by a new thread before its start routine runs; returns when it may run.
  virtual void Enter(std::unique_lock<std::mutex>& held, Thread& self) = 0;
  // The calling thread is done; hand over to the others. The OS thread ends after this.
  virtual void Leave(std::unique_lock<std::mutex>& held, Thread& self) = 0;
  // The calling thread stops for good (terminated); never returns.
  [[noreturn]] virtual void Park(std::unique_lock<std::mutex>& held, Thread& self) = 0;
  // A thread that ran outside the scheduler is back in the platform: returns when it may run
  // (at once when it was terminated meanwhile).
  virtual void Rejoin(std::unique_lock<std::mutex>& held, Thread& self) {}

  // Inside a message call of the owner thread: bring in pending host input (lock held).
  virtual void PumpInput(std::unique_lock<std::mutex>& held, Thread& self) {}
  // Virtual time the thread must spend before its PeekMessageA (charged frame time), in us.
  virtual std::uint64_t TakeCharge(Thread& self) { return 0; }

  // Windows (lock held).
  virtual void WindowCreated(Window& window) {}
  virtual void WindowChanged(Window& window) {}  // geometry, title, show state
  virtual void WindowDestroyed(Window& window) {}
  virtual void PixelsChanged(Window& window) {}
  virtual void CursorChanged(int displayCount) {}
  virtual void ScreenSize(int& width, int& height) = 0;
  // DirectDraw: displays to list after the primary driver (lock held); a visible picture
  // changed (lock not held, on the thread that flipped).
  virtual int DisplayCount() { return 1; }
  virtual void DisplayChanged() {}

  // Lock not held.
  virtual int MessageBox(HWND owner, const char* text, const char* caption, UINT style) = 0;
};

}  // namespace vemora::platform
