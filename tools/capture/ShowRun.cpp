#include "ShowRun.h"

#include <windows.h>

#include "app/Config.h"
#include "app/Myform.h"
#include "audio/Out_base.h"
#include "player/Xmplayer.h"

namespace vt = vemora::testing;

namespace capture {

namespace {

constexpr int kAudioList = 102, kRateBox = 103, kInterpolationBox = 105, kGo = 108, kWindowedBox = 110, kLoopBox = 111;
constexpr int kCreditsScene = 14;

vt::DialogStep Box(int control, bool checked) {
  return checked ? vt::DialogStep::CheckBox(control) : vt::DialogStep::UncheckBox(control);
}

// What the scenes compare against, read on the main thread that owns it.
void HeardPosition(FrameEvent& frame) {
  if (!audibleInfo) return;
  const uint32_t position = audibleInfo->position.load(std::memory_order_acquire);
  frame.order = static_cast<int>(position >> 16);
  frame.row = static_cast<int>(position & 0xFFFF);
}

// Tells the main thread's hooks what to hand on, and stops the show as Escape would.
class Session {
 public:
  Session(const RunOptions& options, const std::vector<Recorder*>& recorders)
      : onePass_(options.limitMs == 0), recorders_(recorders) {}

  void Presented(const vt::PresentedRaw& raw) {
    FrameEvent frame;
    frame.number = ++frames_;
    frame.atUs = raw.atUs;
    frame.overlay = raw.overlay;
    frame.pixels = raw.pixels;
    frame.scene = currentScene;
    HeardPosition(frame);
    for (Recorder* recorder : recorders_) recorder->Frame(frame);
    // The credits' last frame: the next iteration would start the second pass.
    if (onePass_ && currentScene == kCreditsScene && sceneDone) passEnded_ = true;
    if (!FirstFailure(recorders_).empty()) stopped_ = true;
    if ((passEnded_ || stopped_) && !quitPosted_) {
      PostMessageA(mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
      quitPosted_ = true;
    }
  }

  void Played(const vt::PlayedChunk& chunk) {
    SoundEvent sound{chunk.atUs, chunk.rate, chunk.channels, chunk.bits, chunk.bytes, chunk.size};
    for (Recorder* recorder : recorders_) recorder->Sound(sound);
  }

  int64_t frames() const { return frames_; }
  bool passEnded() const { return passEnded_; }
  bool stopped() const { return stopped_; }

 private:
  bool onePass_;
  const std::vector<Recorder*>& recorders_;
  int64_t frames_ = 0;
  bool passEnded_ = false;
  bool stopped_ = false;
  bool quitPosted_ = false;
};

RunResult RunProgram(const RunOptions& options, const std::vector<Recorder*>& recorders) {
  vt::HeadlessOptions host;
  host.timeLimitMs = options.limitMs != 0 ? options.limitMs : kPassLimitMs;
  host.limitAction = vt::LimitAction::Escape;
  vt::UseHeadlessHost(host);
  vt::KeepPresentedFrames(0);
  // After `prepare`, which may change the devices the dialog lists.
  if (options.prepare) options.prepare();
  vt::AnswerNextDialog(DialogAnswers(options.settings, static_cast<int>(waveOutGetNumDevs())));

  Session session(options, recorders);
  bool pixels = false;
  for (const Recorder* recorder : recorders) pixels = pixels || recorder->NeedsPixels();
  vt::OnPresentedRaw([&session](const vt::PresentedRaw& raw) { session.Presented(raw); }, pixels);
  vt::OnPlayedAudio([&session](const vt::PlayedChunk& chunk) { session.Played(chunk); });

  RunResult result;
  result.exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
  result.endUs = vt::VirtualTimeUs();
  const std::vector<vt::MessageBoxRecord> boxes = vt::MessageBoxes();
  if (result.exitCode != 0 && !boxes.empty()) result.failure = boxes.back().text;
  result.frames = session.frames();
  result.passEnded = session.passEnded();
  result.stopped = session.stopped();
  vt::ResetHost();
  return result;
}

}  // namespace

void Recorder::Fail(std::string message) {
  // Frame and Sound run on different threads; only the first failure is written.
  bool first = false;
  if (!claimed_.compare_exchange_strong(first, true)) return;
  failure_ = std::move(message);
  failed_.store(true, std::memory_order_release);
}

std::string FirstFailure(const std::vector<Recorder*>& recorders) {
  for (const Recorder* recorder : recorders)
    if (recorder->failed()) return recorder->failure();
  return {};
}

std::vector<vt::DialogStep> DialogAnswers(const ShowSettings& settings, int waveOutDevices) {
  // Every box is set either way: the dialog starts from what an earlier run in this process left.
  // The lists and the rate start afresh with each dialog.
  std::vector<vt::DialogStep> steps = {Box(kInterpolationBox, !settings.plain), Box(kWindowedBox, settings.windowed),
                                       Box(kLoopBox, settings.loop)};
  if (settings.dsound) steps.push_back(vt::DialogStep::Select(kAudioList, waveOutDevices));
  if (settings.rate != 0) steps.push_back(vt::DialogStep::Type(kRateBox, std::to_string(settings.rate)));
  steps.push_back(vt::DialogStep::Press(kGo));
  return steps;
}

RunResult RunShow(const RunOptions& options, const std::vector<Recorder*>& recorders) {
  RunResult result;
  for (Recorder* recorder : recorders) recorder->Begin();
  if (FirstFailure(recorders).empty()) result = RunProgram(options, recorders);
  result.stopped = result.stopped || !FirstFailure(recorders).empty();
  const bool completed =
      !result.stopped && result.exitCode == 0 && (options.limitMs != 0 || result.passEnded);
  for (Recorder* recorder : recorders) recorder->Finish(result.endUs, completed);
  return result;
}

std::string RunFailure(const RunOptions& options, const RunResult& result, const std::vector<Recorder*>& recorders) {
  std::string failure = FirstFailure(recorders);
  if (!failure.empty()) return failure;
  if (result.exitCode != 0)
    return "the program failed (exit code " + std::to_string(result.exitCode) + ")" +
           (result.failure.empty() ? "" : ": " + result.failure);
  if (options.limitMs == 0 && !result.passEnded)
    return "the show did not end its pass within " + std::to_string(kPassLimitMs / 60000) + " minutes of virtual time";
  return {};
}

}  // namespace capture
