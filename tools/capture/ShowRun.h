// The show on the headless host, run through its real entry point with the Settings dialog
// answered, and every presented frame and played stretch of sound handed to recorders.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "testing.h"

namespace capture {

// The dialog's choices; the rest is what GO gives untouched.
struct ShowSettings {
  bool plain = false;  // interpolation off
  bool windowed = false;
  bool loop = true;
  int rate = 0;         // typed into the rate box; 0: the rate the dialog offers (45454)
  bool dsound = false;  // the first DirectSound device instead of the first waveOut one
};

// The Settings dialog's answer for these settings, ending with GO. The audio list holds the
// `waveOutDevices` waveOut devices first, then the DirectSound ones.
std::vector<vemora::testing::DialogStep> DialogAnswers(const ShowSettings& settings, int waveOutDevices);

struct FrameEvent {
  int64_t number = 0;    // presented frames, counted from 1
  uint64_t atUs = 0;     // virtual time since the start
  bool overlay = false;  // pixels are 5:5:5 (windowed overlay) rather than 5:6:5
  const uint16_t* pixels = nullptr;  // 640 x 480 as presented; null unless a recorder needs them
  int scene = -1;
  int order = -1;        // the heard song position; -1 -1 before the audio starts
  int row = -1;
};

struct SoundEvent {
  uint64_t atUs = 0;     // virtual time at which the first frame played
  int rate = 0;
  int channels = 0;
  int bits = 0;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
};

// The show's frame timer period: one presented frame per period when the show keeps up.
constexpr uint64_t kTickUs = 15000;

// One output of a run. Frame runs on the presenting (main) thread, Sound on the sound device's.
class Recorder {
 public:
  virtual ~Recorder() = default;
  virtual bool NeedsPixels() const { return false; }
  // Before the show starts: open what will be written (a failure here means no run).
  virtual void Begin() {}
  virtual void Frame(const FrameEvent& frame) {}
  virtual void Sound(const SoundEvent& sound) {}
  // Called last on every recorder whose Begin was called. `ran`: the show ran, to its end or cut
  // short; every output is finished so that it is whole up to virtual time `endUs`. Otherwise it
  // never started, and what Begin made is removed.
  virtual void Finish(uint64_t endUs, bool ran) {}
  // A line for the summary at the end of the run; empty for none.
  virtual std::string Summary() const { return {}; }

  bool failed() const { return failed_.load(std::memory_order_acquire); }
  const std::string& failure() const { return failure_; }

 protected:
  // Keeps the first failure; the run stops as soon as the main thread sees it.
  void Fail(std::string message);

 private:
  std::string failure_;
  std::atomic<bool> claimed_{false};
  std::atomic<bool> failed_{false};
};

struct RunOptions {
  ShowSettings settings;
  uint64_t limitMs = 0;  // stop after this much virtual time; 0: one whole pass of the show
  // Called once the headless host is up, before the program starts (tests inject faults here).
  std::function<void()> prepare;
  // Asked at every presented frame: a signal number stops the run there, as an interruption.
  std::function<int()> interruption;
};

// How long a pass may take before the run counts as stuck.
constexpr uint64_t kPassLimitMs = 60 * 60 * 1000;

struct RunResult {
  int exitCode = 0;      // the program's
  std::string failure;   // the program's error message, when it showed one
  bool started = false;  // every recorder began, and the program ran
  bool passEnded = false;
  bool stopped = false;  // a recorder failed: the run was cut short or never started
  int interruptedBy = 0; // the signal that cut the run short
  // Where the recording ends: the time asked for, one frame period after the frame the run
  // stopped at, or when the program ended by itself.
  uint64_t endUs = 0;
  int64_t frames = 0;    // presented and recorded
};

// Runs the show once in this process (the calling thread becomes its main thread), then
// finishes the recorders. Recorders begin in order; one that fails there prevents the run and
// leaves the rest unstarted.
RunResult RunShow(const RunOptions& options, const std::vector<Recorder*>& recorders);

// The first failure among the recorders, empty when none failed.
std::string FirstFailure(const std::vector<Recorder*>& recorders);

// What went wrong in a run, as one line for the user; empty when it succeeded.
std::string RunFailure(const RunOptions& options, const RunResult& result, const std::vector<Recorder*>& recorders);

}  // namespace capture
