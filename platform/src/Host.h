// What differs between hosts: time, how blocked threads resume, where windows, pixels and message
// boxes go, the sound devices, and how dialogs are answered and their text drawn. The services
// ask these questions, never which host they run on. Each host lives in a folder of its own
// (hosts/NAME/) with its own CMake target; platform/README.md tells how to add one.
#pragma once

#include <string>
#include <vector>

#include "Core.h"

namespace vemora::platform {

class AudioDevice;
class AudioSource;
class DialogText;
struct AudioFormatInfo;

class Host {
 public:
  virtual ~Host() = default;

  // --- Time
  virtual std::uint64_t NowUs() = 0;
  // Unix seconds of local time at NowUs() == 0.
  virtual std::int64_t EpochSeconds() = 0;
  // Local time minus UTC, in seconds.
  virtual std::int64_t UtcOffsetSeconds() { return 0; }

  // --- Threads (lock held)
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
  // May a thread that CreateThread did not make (after the main thread) become a platform
  // thread? A host that runs its threads one at a time cannot take in one it never started.
  virtual bool AdoptsForeignThreads() const { return true; }

  // --- Input (lock held)
  // Inside a message call of the owner thread: bring in pending host input.
  virtual void PumpInput(std::unique_lock<std::mutex>& held, Thread& self) {}
  // Time the thread must spend before its PeekMessageA (charged frame time), in us.
  virtual std::uint64_t TakeCharge(Thread& self) { return 0; }

  // --- Windows (lock held)
  virtual void WindowCreated(Window& window) {}
  virtual void WindowChanged(Window& window) {}  // geometry, title, show state
  virtual void WindowDestroyed(Window& window) {}
  virtual void PixelsChanged(Window& window) {}
  virtual void CursorChanged(int displayCount) {}
  virtual void ScreenSize(int& width, int& height) = 0;

  // --- DirectDraw: displays to list after the primary driver (lock held); a visible picture
  // changed (lock not held, on the thread that flipped); whether every presented frame is kept
  // for tests and tools even when no tool asked for them.
  virtual int DisplayCount() { return 1; }
  virtual void DisplayChanged() {}
  virtual bool RecordsFrames() const { return false; }

  // --- Dialogs (lock held)
  // Whether a dialog is answered by its script alone (then Enter and the close box end it), rather
  // than by a user in a modal loop after the script.
  virtual bool ScriptsDialogs() const { return false; }
  // The face that the dialogs' text is measured and drawn with.
  virtual DialogText& DialogFace() = 0;

  // --- Sound devices (lock not held)
  virtual std::vector<std::string> AudioDeviceNames() = 0;
  // Device `device` of AudioDeviceNames (-1: the default one) playing `source`, created stopped;
  // null when it cannot be opened.
  virtual AudioDevice* OpenAudio(int device, const AudioFormatInfo& format, AudioSource* source) = 0;

  // --- Message boxes (lock not held)
  virtual int MessageBox(HWND owner, const char* text, const char* caption, UINT style) = 0;

  // Another host takes over (lock held). Threads of this host's run may still be blocked in it,
  // so it is never deleted; it may free what none of them can reach any more.
  virtual void Retire() {}
};

}  // namespace vemora::platform
