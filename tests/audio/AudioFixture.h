// Shared set-up of the audio tests: a fresh headless host, a window for DirectSound, and
// the audio system's settings and globals put back after each test.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/Myform.h"
#include "app/Settings.h"
#include "audio/Out_base.h"
#include "testing.h"

namespace vt = vemora::testing;

class AudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vt::HeadlessOptions options;
    options.timeLimitMs = 10 * 60 * 1000;
    options.limitAction = vt::LimitAction::Abort;
    vt::UseHeadlessHost(options);
    audioDriver = 0;
    audioDevice = 0;
    mixRate = 44100;
    stereo = 1;
    interpolation = 1;
  }
  void TearDown() override {
    AudioStop();
    AudioDestroy();
    mainWindow = nullptr;
    vt::ResetHost();
    mixRate = 44100;
    audioDriver = 0;
  }

  static HWND MakeWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "audiotest";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "audiotest", "Audio test", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, wc.hInstance,
                           nullptr);
  }

  static AudioFormat Format(int rate, int bufferBytes, int buffers = 16, HWND window = nullptr) {
    return AudioFormat{kAudioFormatSize, rate, 2, 2, buffers, bufferBytes, window, 0};
  }

  // A buffer whose every 16-bit word names the buffer and its position, so order shows.
  static std::vector<uint8_t> Numbered(int buffer, int bytes) {
    std::vector<uint8_t> data(static_cast<size_t>(bytes));
    for (int i = 0; i + 1 < bytes; i += 2) {
      data[i] = static_cast<uint8_t>(buffer);
      data[i + 1] = static_cast<uint8_t>(i / 2);
    }
    return data;
  }

  static std::vector<uint8_t> Played(size_t stream = 0) {
    auto streams = vt::PlayedAudioStreams();
    return stream < streams.size() ? streams[stream].bytes : std::vector<uint8_t>{};
  }
};
