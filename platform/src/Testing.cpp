// testing.h: host choice, scripted input and read-back for tests and tools.
#include "testing.h"

#include <algorithm>

#include "Audio.h"
#include "Dialog.h"
#include "DirectDraw.h"
#include "HeadlessHost.h"
#include "SdlHost.h"
#include "Window.h"

namespace vemora::testing {

using namespace vemora::platform;

namespace {

// Blocked threads of an old run may still refer to these; they are kept, never freed.
std::vector<Host*>& retiredHosts = *new std::vector<Host*>;
std::vector<Thread*>& retiredThreads = *new std::vector<Thread*>;
std::vector<Object*>& retiredObjects = *new std::vector<Object*>;

HeadlessHost& Headless() {
  auto* host = dynamic_cast<HeadlessHost*>(Global().host);
  if (host == nullptr) Fatal("testing: this needs the headless host (call UseHeadlessHost first)");
  return *host;
}

void ScheduleInput(std::uint64_t atMs, std::function<void()> action) {
  std::unique_lock<std::mutex> held(Global().lock);
  Headless().Schedule(atMs * 1000, std::move(action));
}

void ResetLocked() {
  State& state = Global();
  if (state.host != nullptr) retiredHosts.push_back(state.host);
  state.host = nullptr;
  // Old records stay allocated: abandoned threads wait on their condition variables.
  retiredThreads.insert(retiredThreads.end(), state.threads.begin(), state.threads.end());
  retiredObjects.insert(retiredObjects.end(), state.objects.begin(), state.objects.end());
  state.threads.clear();
  state.objects.clear();
  ++state.generation;
  ResetWindows();
  ResetDialogs();
  ResetDirectDraw();
  ResetAudioTestState();
}

}  // namespace

void UseHeadlessHost(const HeadlessOptions& options) {
  std::unique_lock<std::mutex> held(Global().lock);
  ResetLocked();
  Global().host = new HeadlessHost(options);
  Self(held);  // the caller is the main thread, index 0, holding the baton
}

bool UseSdlHost(std::string* error) {
  std::unique_lock<std::mutex> held(Global().lock);
  ResetLocked();
  Host* host = CreateSdlHost(error);
  if (host == nullptr) return false;
  Global().host = host;
  Self(held);
  return true;
}

void ResetHost() {
  std::unique_lock<std::mutex> held(Global().lock);
  ResetLocked();
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

void AnswerNextDialog(std::vector<DialogStep> steps) {
  std::unique_lock<std::mutex> held(Global().lock);
  QueueDialogAnswers(std::move(steps));
}

std::vector<DialogRecord> Dialogs() {
  std::unique_lock<std::mutex> held(Global().lock);
  return DialogRecords();
}

WindowState MainWindow() {
  std::unique_lock<std::mutex> held(Global().lock);
  WindowState state;
  Window* window = TargetWindow();
  if (window == nullptr) return state;
  state.exists = true;
  state.title = window->title;
  state.className = window->windowClass->name;
  state.visible = window->visible;
  state.minimised = window->show == ShowState::Minimised;
  state.maximised = window->show == ShowState::Maximised;
  state.style = window->style | (state.visible ? WS_VISIBLE : 0) | (state.minimised ? WS_MINIMIZE : 0) |
                (state.maximised ? WS_MAXIMIZE : 0);
  state.windowRect = window->rect;
  state.clientRect = ClientRect(*window);
  state.background = window->windowClass->info.hbrBackground;
  return state;
}

Picture WindowPixels() {
  std::unique_lock<std::mutex> held(Global().lock);
  Picture picture;
  Window* window = TargetWindow();
  if (window == nullptr) return picture;
  picture.width = window->pixelWidth;
  picture.height = window->pixelHeight;
  picture.pixels = window->pixels;
  return picture;
}

std::vector<MessageBoxRecord> MessageBoxes() {
  std::unique_lock<std::mutex> held(Global().lock);
  return Headless().MessageBoxes();
}

int CursorDisplayCount() {
  std::unique_lock<std::mutex> held(Global().lock);
  return CursorCount();
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

int ThreadsOutsideScheduler() {
  std::unique_lock<std::mutex> held(Global().lock);
  return static_cast<int>(std::count_if(Global().threads.begin(), Global().threads.end(),
                                        [](const Thread* t) { return t->state == ThreadState::Unscheduled; }));
}

}  // namespace vemora::testing
