// The dialog on the real host: SDL's keyboard, text and quit events drive its modal loop (with
// SDL's dummy video, so no display is needed).
#include <SDL.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "DialogInk.h"
#include "testing.h"

namespace {

std::string rateAtClose;
std::thread closer;

void Push(Uint32 type, SDL_Keycode key = 0, const char* text = "") {
  SDL_Event event{};
  event.type = type;
  if (type == SDL_KEYDOWN || type == SDL_KEYUP) event.key.keysym.sym = key;
  if (type == SDL_TEXTINPUT) SDL_strlcpy(event.text.text, text, sizeof event.text.text);
  SDL_PushEvent(&event);
}

void Press(SDL_Keycode key) {
  Push(SDL_KEYDOWN, key);
  Push(SDL_KEYUP, key);
}

std::string RateText(HWND dialog) {
  char text[16] = {};
  GetDlgItemTextA(dialog, 103, text, sizeof text);
  return text;
}

INT_PTR CALLBACK Typist(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    // What the user does once the dialog shows: Tab from the device list to the rate box and type;
    // then (below) close it.
    Press(SDLK_TAB);
    Push(SDL_TEXTINPUT, 0, "8000");
    Press(SDLK_BACKSPACE);
  } else if (message == WM_COMMAND && HIWORD(wParam) == CBN_EDITCHANGE && RateText(dialog) == "8000") {
    // A moment later, once the loop waits for input again: the window's close box, as SDL reports it.
    closer = std::thread([] {
      SDL_Delay(200);
      Push(SDL_QUIT);
    });
  } else if (message == WM_CLOSE) {
    rateAtClose = RateText(dialog);
    EndDialog(dialog, 7);
  }
  return 0;
}

TEST(SdlDialog, KeysTextAndTheCloseBoxDriveTheModalLoop) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  std::string error;
  if (!vemora::testing::UseSdlHost(&error)) GTEST_SKIP() << "no dummy video: " << error;
  // EndDialog from the sent WM_CLOSE must wake the loop that waits for input; a loop that sleeps on
  // fails the test at once rather than hang it (SDL turns the time-out's SIGTERM into a quit event).
  std::atomic<bool> returned{false};
  std::thread watchdog([&returned] {
    for (int waited = 0; waited < 100 && !returned; ++waited) SDL_Delay(100);
    if (!returned) {
      std::fputs("the dialog's modal loop did not return\n", stderr);
      std::_Exit(1);
    }
  });
  EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), nullptr, Typist, 0), 7);
  returned = true;
  watchdog.join();
  EXPECT_EQ(rateAtClose, "800") << "typed 8000, then Backspace";
  if (closer.joinable()) closer.join();
  vemora::testing::ResetHost();
  SDL_VideoQuit();
  unsetenv("SDL_VIDEODRIVER");
}

INT_PTR CALLBACK PressAtInit(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) Press(static_cast<SDL_Keycode>(lParam));
  return dialogink::KeepPixelsAtGo(dialog, message, wParam, lParam);
}

// Opens the Settings dialog on the SDL host (dummy video) and presses `key` once it shows; a
// dialog that the key leaves open is closed after two seconds (the result is then -1).
INT_PTR OpenAndPress(SDL_Keycode key) {
  std::atomic<bool> done{false};
  std::thread closer([&done] {
    for (int waited = 0; waited < 40 && !done; ++waited) SDL_Delay(50);
    if (!done) Push(SDL_QUIT);
  });
  const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), nullptr, PressAtInit, key);
  done = true;
  closer.join();
  return result;
}

TEST(SdlDialog, KeypadEnterPressesGo) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  std::string error;
  if (!vemora::testing::UseSdlHost(&error)) GTEST_SKIP() << "no dummy video: " << error;
  EXPECT_EQ(OpenAndPress(SDLK_KP_ENTER), 0);
  vemora::testing::ResetHost();
  SDL_VideoQuit();
  unsetenv("SDL_VIDEODRIVER");
}

// A system whose fontconfig knows no font at all: the built-in face draws every text, and says so
// once.
TEST(SdlDialog, WithoutAnyFontTheBuiltInFaceDrawsEveryText) {
  namespace vt = vemora::testing;
  const std::string config = ::testing::TempDir() + "/vemora-no-fonts.conf";
  std::FILE* file = std::fopen(config.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs("<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n", file);
  std::fclose(file);
  setenv("FONTCONFIG_FILE", config.c_str(), 1);
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  std::string error;
  if (!vt::UseSdlHost(&error)) GTEST_SKIP() << "no dummy video: " << error;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(OpenAndPress(SDLK_RETURN), 0);
  const vt::Picture first = dialogink::AtGo();
  EXPECT_EQ(OpenAndPress(SDLK_RETURN), 0);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(vt::DialogFaceName(), "Vemora Sans (built in)");
  dialogink::ExpectEveryTextDrawn(first, vt::Dialogs().front());
  EXPECT_EQ(said, "vemora: no font found for the dialogs' text: using the built-in face Vemora Sans (built in)\n");
  vt::ResetHost();
  SDL_VideoQuit();
  unsetenv("SDL_VIDEODRIVER");
  unsetenv("FONTCONFIG_FILE");
  std::remove(config.c_str());
}

// The built-in face against SDL2_ttf drawing Liberation Sans: the same pixels and the same widths
// for the dialog's words and for every pair of printable characters (each string holds a
// character between every other one, so both orders of each pair).
TEST(SdlDialog, BuiltInFaceDrawsAsSdlTtfDrawsLiberationSans) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  std::string error;
  if (!vemora::testing::UseSdlHost(&error)) GTEST_SKIP() << "no dummy video: " << error;
  namespace vt = vemora::testing;
  const std::string face = vt::DialogFaceName();
  if (face.find("LiberationSans-Regular") == std::string::npos) {
    vt::ResetHost();
    GTEST_SKIP() << "the host's face is not Liberation Sans: " << face;
  }
  std::vector<std::string> texts = {"Settings", "Audio", "device:", "mixing rate:", "Stereo", "Interpolation", "Video",
                                    "Windowed (overlay)", "GO", "Quit", "loop", "45454", "jump (j) Tj, /AVA/ {y}"};
  for (char a = ' '; a <= '~'; ++a) {
    std::string text;
    for (char b = ' '; b <= '~'; ++b) text += std::string(1, a) + b;
    texts.push_back(text + a);
  }
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const int width = vt::DialogTextWidth(vt::TextFace::Host, 11, text);
    ASSERT_EQ(vt::DialogTextWidth(vt::TextFace::BuiltIn, 11, text), width);
    const vt::Picture host = vt::DrawDialogText(vt::TextFace::Host, 11, text, 3, 2, width + 6, 20);
    ASSERT_TRUE(vt::DrawDialogText(vt::TextFace::BuiltIn, 11, text, 3, 2, width + 6, 20).pixels == host.pixels);
  }
  vt::ResetHost();
  SDL_VideoQuit();
  unsetenv("SDL_VIDEODRIVER");
}

}  // namespace
