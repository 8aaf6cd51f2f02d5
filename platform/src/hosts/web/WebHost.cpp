// The browser's host: real time (RealTimeHost), with the page in place of a desktop. The
// program's main thread brings in the page's input while it waits for messages (WebInput); what
// the page shows is published as frames (WebPresent); the sound goes to its Web Audio (WebAudio).
#include "WebHost.h"

#include "BuiltInFace.h"
#include "PageCalls.h"
#include "RealTimeHost.h"
#include "WebAudio.h"
#include "WebInput.h"
#include "WebPresent.h"

namespace vemora::platform {

namespace {

class WebHost final : public RealTimeHost {
 public:
  void PumpInput(std::unique_lock<std::mutex>& held, Thread& self) override {
    if (self.index != 0) return;
    TakePageInput();
    presenter_.Present(held, false);
  }

  void WindowCreated(Window&) override { presenter_.WindowsChanged(); }
  void WindowChanged(Window&) override { presenter_.WindowsChanged(); }
  void WindowDestroyed(Window&) override { presenter_.WindowsChanged(); }
  void CursorChanged(int displayCount) override { web::ShowCursor(displayCount >= 0); }

  // The page shows one picture of the show's size; a full-screen window covers exactly that.
  void ScreenSize(int& width, int& height) override {
    width = 640;
    height = 480;
  }
  // The primary display driver alone: the page is the one display.
  int DisplayCount() override { return 0; }
  void DisplayChanged() override {
    std::unique_lock<std::mutex> held(Global().lock);
    presenter_.Present(held, true);
  }

  // The page has no font files: the built-in face, drawn as the SDL host draws Liberation Sans.
  DialogText& DialogFace() override { return face_; }

  std::vector<std::string> AudioDeviceNames() override { return {kWebAudioDevice}; }
  AudioDevice* OpenAudio(int, const AudioFormatInfo& format, AudioSource* source) override {
    return OpenWebAudio(format, source);
  }

  // The program's boxes all have OK alone, the page's one button.
  int MessageBox(HWND, const char* text, const char* caption, UINT) override {
    return web::ShowMessage(caption, text);
  }

 private:
  WebPresenter presenter_;
  BuiltInFace face_;
};

}  // namespace

Host* CreateWebHost(std::string*) { return new WebHost; }

}  // namespace vemora::platform
