#include "ShowRun.h"

#include <windows.h>

#include <algorithm>

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
      : options_(options), recorders_(recorders) {}

  void Presented(const vt::PresentedRaw& raw) {
    if (stopPosted_) return;  // the outputs end at the frame the stop was decided
    FrameEvent frame;
    frame.number = ++frames_;
    frame.atUs = raw.atUs;
    frame.overlay = raw.overlay;
    frame.pixels = raw.pixels;
    frame.scene = currentScene;
    HeardPosition(frame);
    for (Recorder* recorder : recorders_) recorder->Frame(frame);
    // The credits' last frame: the next iteration would start the second pass.
    if (options_.limitMs == 0 && currentScene == kCreditsScene && sceneDone) passEnded_ = true;
    if (!FirstFailure(recorders_).empty()) stopped_ = true;
    if (options_.interruption) interruptedBy_ = options_.interruption();
    if (passEnded_ || stopped_ || interruptedBy_ != 0) {
      PostMessageA(mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
      stopPosted_ = true;
      stopUs_ = raw.atUs + kTickUs;
    }
  }

  void Played(const vt::PlayedChunk& chunk) {
    SoundEvent sound{chunk.atUs, chunk.rate, chunk.channels, chunk.bits, chunk.bytes, chunk.size};
    for (Recorder* recorder : recorders_) recorder->Sound(sound);
  }

  void Report(RunResult& result) const {
    result.frames = frames_;
    result.passEnded = passEnded_;
    result.stopped = stopped_;
    result.interruptedBy = interruptedBy_;
    result.endUs = stopPosted_ ? stopUs_ : vt::VirtualTimeUs();
    if (options_.limitMs != 0) result.endUs = std::min(result.endUs, options_.limitMs * 1000);
  }

 private:
  const RunOptions& options_;
  const std::vector<Recorder*>& recorders_;
  int64_t frames_ = 0;
  bool passEnded_ = false;
  bool stopped_ = false;
  int interruptedBy_ = 0;
  bool stopPosted_ = false;
  uint64_t stopUs_ = 0;
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
  result.started = true;
  result.exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
  const std::vector<vt::MessageBoxRecord> boxes = vt::MessageBoxes();
  if (result.exitCode != 0 && !boxes.empty()) result.failure = boxes.back().text;
  session.Report(result);
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
  size_t begun = 0;
  while (begun < recorders.size() && FirstFailure(recorders).empty()) recorders[begun++]->Begin();
  const bool ready = FirstFailure(recorders).empty();
  RunResult result;
  if (ready) result = RunProgram(options, recorders);
  result.stopped = result.stopped || !FirstFailure(recorders).empty();
  for (size_t i = 0; i < begun; ++i) recorders[i]->Finish(result.endUs, ready);
  return result;
}

std::string RunFailure(const RunOptions& options, const RunResult& result, const std::vector<Recorder*>& recorders) {
  std::string failure = FirstFailure(recorders);
  if (!failure.empty()) return failure;
  if (result.exitCode != 0)
    return "the program failed (exit code " + std::to_string(result.exitCode) + ")" +
           (result.failure.empty() ? "" : ": " + result.failure);
  if (options.limitMs == 0 && !result.passEnded && result.interruptedBy == 0)
    return "the show did not end its pass within " + std::to_string(kPassLimitMs / 60000) + " minutes of virtual time";
  return {};
}

}  // namespace capture
