// Reading back what the capture tool wrote, and what the suite does under the thread sanitizer.
#pragma once
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "ToolRun.h"
#include "testing.h"

namespace capturetest {

#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
constexpr bool kThreadSanitizer = __has_feature(thread_sanitizer);
#else
constexpr bool kThreadSanitizer = false;
#endif
// A whole pass takes minutes there: one runs (MusicTriggers with waveOut); tests that repeat it or
// spend their time in pixel loops no other thread touches are left to the other builds.
// DirectSound's threads run under it on the SDL host, where they really run at once.
constexpr const char* kOnePassUnderTsan = "left out under the thread sanitizer, which runs one whole pass";

// A path under the test folder that no other run of the suite shares (other builds and checkouts
// run it at the same time).
inline std::filesystem::path ScratchPath(const std::string& name) {
  return std::filesystem::path(::testing::TempDir()) / (name + "_" + std::to_string(getpid()));
}

// A test with a folder of its own, empty at the start and gone at the end.
class InScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchPath("capture_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

inline std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline std::vector<std::string> FileNames(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  if (std::filesystem::is_directory(dir))
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A raw frame file (640 x 480 little-endian 16-bit pixels) as 8-bit RGB.
inline std::vector<uint8_t> RawToRgb(const std::vector<uint8_t>& raw, bool overlay) {
  std::vector<uint8_t> rgb;
  for (size_t i = 0; i + 1 < raw.size(); i += 2) {
    const uint32_t c = vemora::testing::PresentedColour(static_cast<uint16_t>(raw[i] | raw[i + 1] << 8), overlay);
    rgb.insert(rgb.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
  }
  return rgb;
}

// An RGB frame (640 x 480) with each pixel as a scale x scale block, centred in width x height
// black.
inline std::vector<uint8_t> BlownUp(const std::vector<uint8_t>& rgb, int scale, int width, int height) {
  std::vector<uint8_t> out(static_cast<size_t>(width) * height * 3, 0);
  const int left = (width - 640 * scale) / 2, top = (height - 480 * scale) / 2;
  for (int y = 0; y < 480 * scale; ++y)
    for (int x = 0; x < 640 * scale; ++x)
      std::copy_n(&rgb[((y / scale) * 640 + x / scale) * 3], 3, &out[((top + y) * static_cast<size_t>(width) + left + x) * 3]);
  return out;
}

// What ffprobe says of a file's streams: one line of ENTRIES per stream, as csv.
inline std::string Probe(const std::filesystem::path& file, const std::string& entries) {
  return tooltest::RunCommand("ffprobe -v error -count_frames -show_entries stream=" + entries + " -of csv=p=0 " +
                              tooltest::Quote(file))
      .output;
}

inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

}  // namespace capturetest
