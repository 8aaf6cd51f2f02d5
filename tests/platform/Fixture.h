// Shared set-up of the platform tests: a fresh host per test and a recording window. The host is
// the headless one, or the SDL host on its dummy drivers when VEMORA_TEST_HOST is "sdl":
// CMakeLists.txt runs the cases that need neither a screen nor the virtual clock once more that way.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "testing.h"

namespace vt = vemora::testing;

struct Received {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::uint64_t atMs;
};

// Messages seen by RecordingProc, in order; reset per test.
inline std::vector<Received>& Log() {
  static std::vector<Received> log;
  return log;
}

inline LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Log().push_back({message, wParam, lParam, vt::HeadlessHostActive() ? vt::VirtualTimeMs() : 0});
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

inline std::vector<UINT> Messages(std::initializer_list<UINT> wanted) {
  std::vector<UINT> seen;
  for (const Received& r : Log())
    for (UINT w : wanted)
      if (r.message == w) seen.push_back(r.message);
  return seen;
}

inline bool OnSdlHost() {
  const char* host = std::getenv("VEMORA_TEST_HOST");
  return host != nullptr && std::string(host) == "sdl";
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log().clear();
    if (!OnSdlHost()) {
      vt::UseHeadlessHost(options_);
      return;
    }
#if VEMORA_HAVE_SDL_HOST
    // SDL's dummy drivers: no screen and no sound card needed.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string error;
    ASSERT_TRUE(vt::UseSdlHost(&error)) << error;
#else
    FAIL() << "this build has no SDL host";
#endif
  }
  void TearDown() override { vt::ResetHost(); }

  HWND MakeWindow(DWORD style, int width = 640, int height = 480, WNDPROC proc = RecordingProc) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "platformtest";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "platformtest", "Test window", style, CW_USEDEFAULT, CW_USEDEFAULT, width, height,
                           nullptr, nullptr, wc.hInstance, nullptr);
  }

  // Pumps everything that is queued now.
  void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) break;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }

  vt::HeadlessOptions options_;
};
