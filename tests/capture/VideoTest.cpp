// The MP4 as a viewer sees it: each video frame shows the frame on screen at its time, black
// before the first presentation, and the sound starts when the device began to play.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "CaptureFiles.h"
#include "FrameFiles.h"
#include "ShowRun.h"
#include "ToolRun.h"
#include "VideoFile.h"

namespace fs = std::filesystem;

namespace {

// Presentation times and the sound's first audible moment.
class Timing final : public capture::Recorder {
 public:
  void Frame(const capture::FrameEvent& f) override { presentedUs.push_back(f.atUs); }
  void Sound(const capture::SoundEvent& s) override {
    const auto* pcm = reinterpret_cast<const int16_t*>(s.bytes);
    for (size_t i = 0; i < s.size / 2 && audibleUs == 0; ++i)
      if (std::abs(pcm[i]) > kAudible) audibleUs = s.atUs + (i / 2) * 1000000 / s.rate;
  }
  static constexpr int kAudible = 512;
  std::vector<uint64_t> presentedUs;
  uint64_t audibleUs = 0;
};

double MeanDifference(const uint8_t* a, const uint8_t* b, size_t size) {
  uint64_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum += static_cast<uint64_t>(std::abs(a[i] - b[i]));
  return static_cast<double>(sum) / static_cast<double>(size);
}

TEST(VideoFile, ShowsTheFrameOnScreenAtEachVideoTimeAndStartsTheSoundWithTheDevice) {
  if (capturetest::kThreadSanitizer) GTEST_SKIP() << capturetest::kOnePassUnderTsan;
  const fs::path dir = capturetest::ScratchPath("capture_video");
  fs::remove_all(dir);
  fs::create_directories(dir);
  constexpr int kFps = 20;
  capture::VideoFile video((dir / "show.mp4").string(), kFps);
  capture::FrameFiles raw(capture::FrameFiles::Kind::Raw, (dir / "raw").string(), {});
  Timing timing;
  capture::RunOptions options;
  options.limitMs = 7000;
  const capture::RunResult result = capture::RunShow(options, {&video, &raw, &timing});
  ASSERT_EQ(capture::RunFailure(options, result, {&video, &raw, &timing}), "");
  ASSERT_FALSE(timing.presentedUs.empty());
  ASSERT_NE(timing.audibleUs, 0u);
  EXPECT_EQ(capturetest::FileNames(dir), (std::vector<std::string>{"raw", "show.mp4"}));

  const tooltest::ToolRun frames = tooltest::RunCommand(
      "ffmpeg -v error -i " + tooltest::Quote(dir / "show.mp4") + " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -");
  ASSERT_EQ(frames.exitCode, 0);
  constexpr size_t kFrameBytes = 640 * 480 * 3;
  const size_t videoFrames = (result.endUs * kFps + 999999) / 1000000;
  ASSERT_EQ(frames.output.size(), videoFrames * kFrameBytes);
  const std::vector<uint8_t> black(kFrameBytes, 0);
  for (size_t k = 0; k < videoFrames; ++k) {
    const uint64_t atUs = k * 1000000 / kFps;
    size_t shown = 0;  // presented frames up to this time
    while (shown < timing.presentedUs.size() && timing.presentedUs[shown] <= atUs) ++shown;
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06zu.raw", shown);
    const std::vector<uint8_t> expected =
        shown == 0 ? black : capturetest::RawToRgb(capturetest::ReadFile(dir / "raw" / name), false);
    const auto* decoded = reinterpret_cast<const uint8_t*>(frames.output.data()) + k * kFrameBytes;
    // Lossy H.264 in 4:2:0: close, not equal.
    EXPECT_LT(MeanDifference(decoded, expected.data(), kFrameBytes), 4.0) << "video frame " << k << ", " << name;
  }

  const tooltest::ToolRun sound = tooltest::RunCommand("ffmpeg -v error -i " + tooltest::Quote(dir / "show.mp4") +
                                                       " -f s16le -ac 2 -ar 48000 -");
  ASSERT_EQ(sound.exitCode, 0);
  const auto* pcm = reinterpret_cast<const int16_t*>(sound.output.data());
  size_t first = 0;
  while (first < sound.output.size() / 2 && std::abs(pcm[first]) <= Timing::kAudible) ++first;
  const auto audibleUs = static_cast<int64_t>((first / 2) * 1000000 / 48000);
  EXPECT_LE(std::llabs(audibleUs - static_cast<int64_t>(timing.audibleUs)), 10000) << audibleUs << " vs " << timing.audibleUs;
  fs::remove_all(dir);
}

}  // namespace
