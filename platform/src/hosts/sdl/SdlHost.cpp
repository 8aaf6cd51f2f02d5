// The real host: wall-clock time, freely running threads, and the SDL window with its input and
// presentation (SdlWindow, SdlInput, SdlPresent).
#include "SdlHost.h"

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "DialogFont.h"
#include "Host.h"
#include "SdlAudio.h"
#include "SdlInput.h"
#include "SdlPresent.h"
#include "SdlWindow.h"
#include "Window.h"
#include "testing.h"

namespace vemora::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kPumpIntervalUs = 4000;      // input latency while the UI thread waits

class SdlHost final : public Host {
 public:
  SdlHost() : start_(Clock::now()) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    utcOffset_ = local.tm_gmtoff;
    epoch_ = static_cast<std::int64_t>(now) + utcOffset_;
  }

  std::uint64_t NowUs() override {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start_).count());
  }
  std::int64_t EpochSeconds() override { return epoch_; }
  std::int64_t UtcOffsetSeconds() override { return utcOffset_; }

  void Block(std::unique_lock<std::mutex>& held, Thread& self) override {
    self.state = ThreadState::Blocked;
    for (;;) {
      if (self.terminated) Park(held, self);
      DWORD result;
      if (TrySatisfy(self, result)) {
        self.waitResult = result;
        break;
      }
      std::uint64_t now = NowUs();
      if (self.deadline <= now) {
        self.waitResult = WAIT_TIMEOUT;
        break;
      }
      std::uint64_t until = self.deadline;
      if (self.index == 0 && self.wakeMask != 0) {
        // SDL delivers input to the thread that started video only: poll it while waiting.
        PumpInput(held, self);
        if (TrySatisfy(self, result)) {
          self.waitResult = result;
          break;
        }
        until = std::min(until, now + kPumpIntervalUs);
      }
      if (until == kNoDeadline)
        changed_.wait(held);
      else
        changed_.wait_until(held, start_ + std::chrono::microseconds(until));
    }
    self.state = ThreadState::Running;
  }

  void Changed() override { changed_.notify_all(); }

  [[noreturn]] void Park(std::unique_lock<std::mutex>& held, Thread&) override {
    for (;;) changed_.wait(held);
  }

  void Start(std::unique_lock<std::mutex>&, Thread& thread) override {
    thread.state = ThreadState::Running;
    std::thread(RunThread, &thread).detach();
  }

  void Enter(std::unique_lock<std::mutex>& held, Thread& self) override {
    while (self.suspended || self.terminated) changed_.wait(held);
  }

  void Leave(std::unique_lock<std::mutex>&, Thread&) override {}

  void PumpInput(std::unique_lock<std::mutex>& held, Thread& self) override {
    if (self.index != 0) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      translating_ = true;
      TranslateEvent(event);
      translating_ = false;
    }
    presenter_.Present(held, NowUs(), false);
  }

  void WindowCreated(Window& window) override { CreateSdlWindow(window); }

  // Changes that SDL reported itself are not sent back to it.
  void WindowChanged(Window& window) override {
    if (!translating_) UpdateSdlWindow(window);
  }

  void WindowDestroyed(Window& window) override { DestroySdlWindow(window); }

  void CursorChanged(int displayCount) override { SDL_ShowCursor(displayCount >= 0 ? SDL_ENABLE : SDL_DISABLE); }

  // The screen of the display the program's window is on (the first before there is one).
  void ScreenSize(int& width, int& height) override {
    Window* window = TargetWindow();
    int display = 0;
    if (window != nullptr && window->hostData != nullptr)
      display = std::max(0, SDL_GetWindowDisplayIndex(static_cast<SdlWindow*>(window->hostData)->window));
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(display, &mode) == 0) {
      width = mode.w;
      height = mode.h;
    } else {
      width = 640;
      height = 480;
    }
  }

  int DisplayCount() override { return std::max(1, SDL_GetNumVideoDisplays()); }

  // Shown at once (the wait for the display refresh happens without the lock).
  void DisplayChanged() override {
    std::unique_lock<std::mutex> held(Global().lock);
    presenter_.Present(held, NowUs(), true);
  }

  DialogText& DialogFace() override { return font_; }

  std::vector<std::string> AudioDeviceNames() override { return SdlAudioDeviceNames(); }
  AudioDevice* OpenAudio(int device, const AudioFormatInfo& format, AudioSource* source) override {
    return OpenSdlAudio(device, format, source);
  }

  int MessageBox(HWND owner, const char* text, const char* caption, UINT style) override {
    SDL_Window* parent = nullptr;
    {
      std::unique_lock<std::mutex> held(Global().lock);
      Window* window = LookupWindow(owner);
      if (window != nullptr && window->hostData != nullptr)
        parent = static_cast<SdlWindow*>(window->hostData)->window;
    }
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if ((style & 0xF0) == MB_ICONERROR) flags = SDL_MESSAGEBOX_ERROR;
    if ((style & 0xF0) == MB_ICONWARNING) flags = SDL_MESSAGEBOX_WARNING;
    SDL_ShowSimpleMessageBox(flags, caption, text, parent);
    return IDOK;
  }

 private:
  Clock::time_point start_;
  std::int64_t epoch_ = 0;
  std::int64_t utcOffset_ = 0;
  std::condition_variable changed_;
  bool translating_ = false;
  SdlPresenter presenter_;
  DialogFont font_;
};

}  // namespace

// SDL falls back to drivers that show nothing (offscreen, dummy); those count as no display.
static bool StartVideo(std::string& failures) {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;  // an earlier host of this process started it
  if (SDL_GetHint(SDL_HINT_VIDEODRIVER) != nullptr) {  // chosen explicitly: take it as it is
    if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
    failures = SDL_GetError();
    return false;
  }
  if (SDL_Init(0) != 0) {
    failures = SDL_GetError();
    return false;
  }
  for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
    std::string name = SDL_GetVideoDriver(i);
    if (name == "offscreen" || name == "dummy" || name == "evdev") continue;
    // Without a compositor to name, the Wayland client library only prints a complaint.
    if (name == "wayland" && std::getenv("WAYLAND_DISPLAY") == nullptr) continue;
    if (SDL_VideoInit(name.c_str()) == 0) return true;
    failures += (failures.empty() ? "" : ", ") + std::string(SDL_GetError());
  }
  if (failures.empty()) failures = "no video driver";
  SDL_Quit();
  return false;
}

Host* CreateSdlHost(std::string* error) {
  std::string failures;
  if (!StartVideo(failures)) {
    if (error != nullptr) *error = failures;
    return nullptr;
  }
  return new SdlHost;
}

}  // namespace vemora::platform

bool vemora::testing::UseSdlHost(std::string* error) {
  using namespace vemora::platform;
  std::unique_lock<std::mutex> held(Global().lock);
  ReplaceHost(held, CreateSdlHost(error));
  return Global().host != nullptr;
}
