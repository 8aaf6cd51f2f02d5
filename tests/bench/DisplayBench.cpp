// Presentation cost on the headless host: copy of the virtual screen into the back surface and
// the flip, which also records the frame unless nobody keeps frames (as in capture).
#include <benchmark/benchmark.h>

#include "app/Myform.h"
#include "app/Settings.h"
#include "display/Vscreentools.h"
#include "testing.h"

namespace {

void PresentFrameHeadless(benchmark::State& state) {
  namespace vt = vemora::testing;
  vt::HeadlessOptions options;
  options.timeLimitMs = 0;
  vt::UseHeadlessHost(options);
  vt::KeepPresentedFrames(static_cast<size_t>(state.range(1)));
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "displaybench";
  RegisterClassA(&windowClass);
  mainWindow = CreateWindowExA(0, "displaybench", "bench", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(mainWindow, SW_SHOWMAXIMIZED);
  videoDevice = 0;
  displayMode = 2;
  EnumerateDevices();
  if (InitDisplay(static_cast<int>(state.range(0)))) {
    state.SkipWithError("display set-up failed");
    return;
  }
  for (int i = 0; i < 640 * 480; ++i) vscreen[i] = static_cast<uint16_t>(i * 37);
  for (auto _ : state) {
    PresentFrame();
    vscreen[0] ^= 1;
  }
  state.counters["frames"] = static_cast<double>(vt::PresentedFrameCount());
  ShutdownDisplay();
  DestroyDisplay();
  displayMode = 2;
  DestroyWindow(mainWindow);
  mainWindow = nullptr;
  UnregisterClassA("displaybench", nullptr);
  vt::ResetHost();
}
// windowed 0: full screen flip chain; 1: windowed overlay. kept: frames the host keeps (8 by default).
BENCHMARK(PresentFrameHeadless)
    ->ArgNames({"windowed", "kept"})
    ->ArgsProduct({{0, 1}, {8, 0}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
