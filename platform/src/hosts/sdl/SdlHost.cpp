// The real host: real time (RealTimeHost), and the SDL window with its input and presentation
// (SdlWindow, SdlInput, SdlPresent).
#include "SdlHost.h"

#include <SDL.h>

#include <cstdlib>

#include "DialogFont.h"
#include "RealTimeHost.h"
#include "SdlAudio.h"
#include "SdlInput.h"
#include "SdlPresent.h"
#include "SdlWindow.h"
#include "Window.h"
#include "testing.h"

namespace vemora::platform {

namespace {

class SdlHost final : public RealTimeHost {
 public:
  // SDL delivers input to the thread that started video only, which the main thread polls.
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
