// A display on the headless host with the show's scene table, for tests and benchmarks of the
// scenes: a scene runs frame by frame as the main loop runs it (update, render, present), without
// the audio, and the presented frames are read back.
#pragma once
#include <windows.h>

#include <cfenv>
#include <cstdint>

#include "app/Config.h"
#include "app/Myform.h"
#include "app/Settings.h"
#include "display/Vscreentools.h"
#include "testing.h"

namespace scenetest {

// An 8-bit channel triple in the display's format; mode 0: 5:6:5, 1: 5:5:5.
inline uint16_t Colour(uint32_t r, uint32_t g, uint32_t b, int mode) {
  return static_cast<uint16_t>(mode == 0 ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3 : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
}

// mode 0: full screen (a 5:6:5 back surface); mode 1: windowed overlay (5:5:5).
class SceneStage {
 public:
  explicit SceneStage(int mode, const vemora::testing::DirectDrawFaults& faults = {}) {
    namespace vt = vemora::testing;
    vt::HeadlessOptions options;
    options.timeLimitMs = 0;
    vt::UseHeadlessHost(options);
    std::fesetround(FE_TOWARDZERO);  // the scenes compute with truncation, as inside the main loop
    vt::KeepPresentedFrames(1);  // only the last frame is read back
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    videoDevice = 0;
    displayMode = 2;
    overlayDirty = false;
    frameInBackSurface = false;
    currentScene = -1;
    sceneDone = false;
    const DWORD style = mode == 0 ? WS_POPUP : WS_POPUP | WS_OVERLAPPEDWINDOW;
    mainWindow = CreateWindowExA(0, kClassName, "stage", style, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(mainWindow, mode == 0 ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    PumpMessages();
    vt::InjectDirectDrawFaults(faults);
    EnumerateDevices();
    ready_ = !InitDisplay(mode, mainWindow, PumpMessages);
  }
  ~SceneStage() {
    SwitchScene(-1);  // the running scene's end action releases what it holds
    sceneDone = false;
    ShutdownDisplay();
    DestroyDisplay();
    displayMode = 2;
    if (mainWindow) DestroyWindow(mainWindow);
    mainWindow = nullptr;
    UnregisterClassA(kClassName, nullptr);
    vemora::testing::ResetHost();
    std::fesetround(savedRounding_);
  }
  SceneStage(const SceneStage&) = delete;
  SceneStage& operator=(const SceneStage&) = delete;

  // The display was set up; vscreen, the pixel format and backSurface exist.
  bool Ready() const { return ready_; }

  // Ends the running scene and starts `scene`, as the sequencer's transition does.
  void Enter(int scene) { SwitchScene(scene); }
  // One frame of the main loop with `ticks` elapsed: update, render, present.
  void Frame(int ticks) {
    Draw(ticks);
    PresentFrame();
  }
  // The scene's own part of a frame: update and render, nothing presented.
  void Draw(int ticks) {
    UpdateScene(ticks);
    RenderScene();
  }
  // The last presented frame (empty when none was presented).
  vemora::testing::Picture Presented() const {
    const auto frames = vemora::testing::PresentedFrames();
    return frames.empty() ? vemora::testing::Picture{} : frames.back().picture;
  }

 private:
  static constexpr const char* kClassName = "scenestage";
  const int savedRounding_ = std::fegetround();
  bool ready_ = false;
};

}  // namespace scenetest
