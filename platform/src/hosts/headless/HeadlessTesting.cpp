// testing.h for the headless host: choosing it, its virtual clock and scheduler, scripted input
// on that clock, and what its message boxes and sound devices were given.
#include "testing.h"

#include "HeadlessHost.h"
#include "Window.h"

namespace vemora::testing {

using namespace vemora::platform;

namespace {

HeadlessHost& Headless() {
  auto* host = dynamic_cast<HeadlessHost*>(Global().host);
  if (host == nullptr) Fatal("testing: this needs the headless host (call UseHeadlessHost first)");
  return *host;
}

platform::HeadlessOptions ToHostOptions(const testing::HeadlessOptions& options) {
  platform::HeadlessOptions out;
  out.screenWidth = options.screenWidth;
  out.screenHeight = options.screenHeight;
  out.epochSeconds = options.epochSeconds;
  out.timeLimitMs = options.timeLimitMs;
  out.graceMs = options.graceMs;
  switch (options.limitAction) {
    case testing::LimitAction::Close: out.limitAction = platform::LimitAction::Close; break;
    case testing::LimitAction::Escape: out.limitAction = platform::LimitAction::Escape; break;
    case testing::LimitAction::Abort: out.limitAction = platform::LimitAction::Abort; break;
  }
  out.recordTrace = options.recordTrace;
  return out;
}

void ScheduleInput(std::uint64_t atMs, std::function<void()> action) {
  std::unique_lock<std::mutex> held(Global().lock);
  Headless().Schedule(atMs * 1000, std::move(action));
}

// The headless host's sound devices: only one platform thread runs at a time, and this one runs.
HeadlessAudio& Sound() {
  std::unique_lock<std::mutex> held(Global().lock);
  return Headless().Audio();
}

}  // namespace

void UseHeadlessHost(const testing::HeadlessOptions& options) {
  auto* host = new HeadlessHost(ToHostOptions(options));
  std::unique_lock<std::mutex> held(Global().lock);
  ReplaceHost(held, host);
}

bool HeadlessHostActive() {
  std::unique_lock<std::mutex> held(Global().lock);
  return dynamic_cast<HeadlessHost*>(Global().host) != nullptr;
}

std::uint64_t VirtualTimeUs() {
  std::unique_lock<std::mutex> held(Global().lock);
  return Headless().NowUs();
}

std::uint64_t VirtualTimeMs() { return VirtualTimeUs() / 1000; }

void KeyDown(std::uint64_t atMs, int virtualKey) {
  ScheduleInput(atMs, [virtualKey] { InputKey(virtualKey, true); });
}

void KeyUp(std::uint64_t atMs, int virtualKey) {
  ScheduleInput(atMs, [virtualKey] { InputKey(virtualKey, false); });
}

void KeyPress(std::uint64_t atMs, int virtualKey, std::uint64_t holdMs, std::uint64_t repeatDelayMs,
              std::uint64_t repeatIntervalMs) {
  KeyDown(atMs, virtualKey);
  if (repeatIntervalMs > 0)
    for (std::uint64_t t = atMs + repeatDelayMs; t < atMs + holdMs; t += repeatIntervalMs) KeyDown(t, virtualKey);
  KeyUp(atMs + holdMs, virtualKey);
}

void Activate(std::uint64_t atMs, bool active) {
  ScheduleInput(atMs, [active] { InputActivate(active); });
}

void MoveWindowTo(std::uint64_t atMs, int x, int y) {
  ScheduleInput(atMs, [x, y] { InputMove(x, y); });
}

void SizeWindow(std::uint64_t atMs, int width, int height) {
  ScheduleInput(atMs, [width, height] { InputSize(width, height); });
}

void Minimise(std::uint64_t atMs) { ScheduleInput(atMs, [] { InputMinimise(); }); }
void Maximise(std::uint64_t atMs) { ScheduleInput(atMs, [] { InputMaximise(nullptr); }); }
void Restore(std::uint64_t atMs) { ScheduleInput(atMs, [] { InputRestore(); }); }
void Close(std::uint64_t atMs) { ScheduleInput(atMs, [] { InputClose(); }); }

void ChargeFrame(std::uint64_t afterMs, std::uint64_t sleepMs) {
  std::unique_lock<std::mutex> held(Global().lock);
  Headless().AddCharge(afterMs * 1000, sleepMs * 1000);
}

std::vector<MessageBoxRecord> MessageBoxes() {
  std::unique_lock<std::mutex> held(Global().lock);
  std::vector<MessageBoxRecord> records;
  for (const ShownMessageBox& box : Headless().MessageBoxes())
    records.push_back(MessageBoxRecord{box.owner, box.text, box.caption, box.style, box.atMs});
  return records;
}

std::vector<std::string> SchedulerTrace() {
  std::unique_lock<std::mutex> held(Global().lock);
  return Headless().Trace();
}

std::uint64_t HandoverCount() {
  std::unique_lock<std::mutex> held(Global().lock);
  return Headless().Handovers();
}

void LeaveScheduler() {
  std::unique_lock<std::mutex> held(Global().lock);
  Headless().LeaveScheduler(held, Self(held));
}

void SetAudioDevices(std::vector<std::string> names) { Sound().SetDeviceNames(std::move(names)); }

std::vector<PlayedAudio> PlayedAudioStreams() {
  std::vector<PlayedAudio> streams;
  Sound().Read([&](const std::vector<AudioRecording*>& recordings) {
    for (const AudioRecording* r : recordings) {
      PlayedAudio played;
      played.rate = r->format.rate;
      played.channels = r->format.channels;
      played.bits = r->format.bits;
      played.bytes = r->bytes;
      played.underruns = r->underruns;
      streams.push_back(std::move(played));
    }
  });
  return streams;
}

void OnPlayedAudio(std::function<void(const PlayedChunk&)> sink) {
  SoundSink translated;
  if (sink)
    translated = [sink = std::move(sink)](const PlayedSound& sound) {
      sink(PlayedChunk{sound.stream, sound.atUs, sound.format.rate, sound.format.channels, sound.format.bits,
                       sound.bytes, sound.size});
    };
  Sound().OnPlayed(std::move(translated));
}

}  // namespace vemora::testing
