// Presentation cost: copy of the virtual screen into the back surface and the flip, which the
// headless host records (unless nobody keeps frames, as in capture) and the SDL host draws.
#include <benchmark/benchmark.h>

#include <string>

#include "app/Myform.h"
#include "app/Settings.h"
#include "display/Vscreentools.h"
#include "testing.h"

namespace {

namespace vt = vemora::testing;

// The show's presentation on whichever host is chosen: copy of the virtual screen into the back
// surface and the flip, and on the SDL host the window's redraw.
void PresentFrames(benchmark::State& state) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "displaybench";
  RegisterClassA(&windowClass);
  mainWindow = CreateWindowExA(0, "displaybench", "bench", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(mainWindow, SW_SHOWMAXIMIZED);
  videoDevice = 0;
  displayMode = 2;
  EnumerateDevices();
  if (InitDisplay(static_cast<int>(state.range(0)), mainWindow, PumpMessages)) {
    state.SkipWithError("display set-up failed");
    return;
  }
  for (int i = 0; i < 640 * 480; ++i) vscreen[i] = static_cast<uint16_t>(i * 37);
  for (auto _ : state) {
    PresentFrame();
    vscreen[0] ^= 1;
  }
  ShutdownDisplay();
  DestroyDisplay();
  displayMode = 2;
  DestroyWindow(mainWindow);
  mainWindow = nullptr;
  UnregisterClassA("displaybench", nullptr);
}

void PresentFrameHeadless(benchmark::State& state) {
  vt::HeadlessOptions options;
  options.timeLimitMs = 0;
  vt::UseHeadlessHost(options);
  vt::KeepPresentedFrames(static_cast<size_t>(state.range(1)));
  PresentFrames(state);
  state.counters["frames"] = static_cast<double>(vt::PresentedFrameCount());
  vt::ResetHost();
}

// Full screen on the real host, at whatever size the desktop has (DISPLAY picks it).
void PresentFrameSdl(benchmark::State& state) {
  std::string error;
  if (!vt::UseSdlHost(&error)) {
    state.SkipWithError(("no display: " + error).c_str());
    return;
  }
  state.counters["desktopWidth"] = GetSystemMetrics(SM_CXSCREEN);
  state.counters["desktopHeight"] = GetSystemMetrics(SM_CYSCREEN);
  PresentFrames(state);
  vt::ResetHost();
}
BENCHMARK(PresentFrameSdl)->ArgName("windowed")->Arg(0)->Unit(benchmark::kMicrosecond);

// windowed 0: full screen flip chain; 1: windowed overlay. kept: frames the host keeps (8 by default).
BENCHMARK(PresentFrameHeadless)
    ->ArgNames({"windowed", "kept"})
    ->ArgsProduct({{0, 1}, {8, 0}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
