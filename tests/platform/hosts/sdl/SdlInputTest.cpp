// SDL's keyboard and window events as the program's window receives them (SDL's dummy video, no
// display).
#include <SDL.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "testing.h"

namespace {

std::vector<WPARAM> keysDown;

LRESULT CALLBACK KeyRecorder(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN) keysDown.push_back(wParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void PushKey(SDL_Keycode key, Uint16 modifiers) {
  for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.sym = key;
    event.key.keysym.mod = modifiers;
    SDL_PushEvent(&event);
  }
}

TEST(SdlInput, KeypadKeysArriveAsWindowsReportsThem) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  std::string error;
  if (!vemora::testing::UseSdlHost(&error)) GTEST_SKIP() << "no dummy video: " << error;
  WNDCLASSA wc{};
  wc.lpfnWndProc = KeyRecorder;
  wc.lpszClassName = "keyrecorder";
  RegisterClassA(&wc);
  ASSERT_NE(CreateWindowExA(0, "keyrecorder", "Keys", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr), nullptr);
  keysDown.clear();
  struct Case {
    SDL_Keycode key;
    Uint16 modifiers;
    WPARAM expected;
  };
  const Case cases[] = {
      {SDLK_KP_ENTER, KMOD_NONE, VK_RETURN}, {SDLK_KP_ENTER, KMOD_NUM, VK_RETURN},
      // Num Lock on: the digits and the point.
      {SDLK_KP_0, KMOD_NUM, VK_NUMPAD0}, {SDLK_KP_1, KMOD_NUM, VK_NUMPAD0 + 1}, {SDLK_KP_9, KMOD_NUM, VK_NUMPAD0 + 9},
      {SDLK_KP_PERIOD, KMOD_NUM, VK_DECIMAL},
      // Num Lock off: the keys printed under them.
      {SDLK_KP_0, KMOD_NONE, VK_INSERT}, {SDLK_KP_1, KMOD_NONE, VK_END}, {SDLK_KP_2, KMOD_NONE, VK_DOWN},
      {SDLK_KP_3, KMOD_NONE, VK_NEXT}, {SDLK_KP_4, KMOD_NONE, VK_LEFT}, {SDLK_KP_5, KMOD_NONE, VK_CLEAR},
      {SDLK_KP_6, KMOD_NONE, VK_RIGHT}, {SDLK_KP_7, KMOD_NONE, VK_HOME}, {SDLK_KP_8, KMOD_NONE, VK_UP},
      {SDLK_KP_9, KMOD_NONE, VK_PRIOR}, {SDLK_KP_PERIOD, KMOD_NONE, VK_DELETE},
      // The operators, with or without Num Lock.
      {SDLK_KP_PLUS, KMOD_NONE, VK_ADD}, {SDLK_KP_MINUS, KMOD_NUM, VK_SUBTRACT}, {SDLK_KP_MULTIPLY, KMOD_NONE, VK_MULTIPLY},
      {SDLK_KP_DIVIDE, KMOD_NONE, VK_DIVIDE},
  };
  std::vector<WPARAM> expected;
  for (const Case& c : cases) {
    PushKey(c.key, c.modifiers);
    expected.push_back(c.expected);
  }
  MSG msg;
  for (int round = 0; round < 50 && keysDown.size() < expected.size(); ++round) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    SDL_Delay(10);
  }
  EXPECT_EQ(keysDown, expected);
  vemora::testing::ResetHost();
  SDL_VideoQuit();
  unsetenv("SDL_VIDEODRIVER");
}

SDL_Window* OnlySdlWindow() {
  for (Uint32 id = 1; id < 64; ++id)
    if (SDL_Window* window = SDL_GetWindowFromID(id)) return window;
  return nullptr;
}

// Switching away minimised the full-screen show; SDL restores a plain window when the user comes
// back, and the platform makes it full screen again, as Windows does.
TEST(SdlInput, AFullScreenWindowRestoredFromMinimisedIsFullScreenAgain) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  std::string error;
  if (!vemora::testing::UseSdlHost(&error)) GTEST_SKIP() << "no dummy video: " << error;
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "fullscreen";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, "fullscreen", "Show", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  ShowWindow(hwnd, SW_SHOWMAXIMIZED);
  SDL_Window* sdl = OnlySdlWindow();
  ASSERT_NE(sdl, nullptr);
  EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP, static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP));
  ShowWindow(hwnd, SW_MINIMIZE);
  EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN, 0u) << "the desktop is given back while away";
  SDL_Event restored{};
  restored.type = SDL_WINDOWEVENT;
  restored.window.event = SDL_WINDOWEVENT_RESTORED;
  restored.window.windowID = SDL_GetWindowID(sdl);
  SDL_PushEvent(&restored);
  MSG msg;
  for (int round = 0; round < 50 && !vemora::testing::MainWindow().maximised; ++round) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    SDL_Delay(10);
  }
  EXPECT_TRUE(vemora::testing::MainWindow().maximised);
  EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP, static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP));
  vemora::testing::ResetHost();
  SDL_VideoQuit();
  unsetenv("SDL_VIDEODRIVER");
}

}  // namespace
