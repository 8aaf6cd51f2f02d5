// The MP4 as a viewer sees it: each video frame shows the frame on screen at its time, black
// before the first presentation, the sound starts when the device began to play, the picture is
// framed as asked, and the video ends at the time asked for at any frame rate.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "CaptureFiles.h"
#include "FrameFiles.h"
#include "Sha1.h"
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
  capture::VideoSettings settings;
  settings.rate = {kFps, 1};
  capture::VideoFile video((dir / "show.mp4").string(), settings);
  capture::FrameFiles raw(capture::FrameFiles::Kind::Raw, (dir / "raw").string(), {});
  Timing timing;
  capture::RunOptions options;
  options.limitMs = 7000;
  const capture::RunResult result = capture::RunShow(options, {&video, &raw, &timing});
  ASSERT_EQ(capture::RunFailure(options, result, {&video, &raw, &timing}), "");
  EXPECT_EQ(result.endUs, 7000000u);  // the time asked for, not the shutdown after it
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

// --- Options of the capture binary

using capturetest::ReadFile;
using tooltest::Quote;
using tooltest::RunCommand;
using tooltest::RunTool;
using tooltest::ToolRun;

class VideoOptions : public capturetest::InScratchFolder {
 protected:
  // The video's frames decoded as `format`, one after the other.
  std::string Decoded(const fs::path& video, const char* format) const {
    const ToolRun decoded = RunCommand("ffmpeg -v error -i " + Quote(video) + " -map 0:v -f rawvideo -pix_fmt " + format + " -");
    EXPECT_EQ(decoded.exitCode, 0);
    return decoded.output;
  }
};

// Presented frames' times from a log: FRAME MS ... per line.
std::vector<uint64_t> LoggedMs(const fs::path& log) {
  std::ifstream in(log);
  std::vector<uint64_t> ms;
  for (std::string line; std::getline(in, line);) ms.push_back(std::stoull(line.substr(line.find(' ') + 1)));
  return ms;
}

TEST_F(VideoOptions, ScaledAndPaddedPictureIsTheRawFrameBlownUpInPngAndLosslessVideo) {
  if (capturetest::kThreadSanitizer) GTEST_SKIP() << capturetest::kOnePassUnderTsan;
  // One video frame a second; the one at 6 s shows presented frame 48, presented at 6 s.
  const ToolRun run = RunTool("capture --seconds 7 --quiet --scale 3 --pad 2000x1500 --from 48 --to 48 --png " +
                              Quote(dir_ / "png") + " --raw " + Quote(dir_ / "raw") + " --log " + Quote(dir_ / "show.log") +
                              " --video " + Quote(dir_ / "show.mp4") + " --lossless --preset ultrafast --fps 1");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<uint64_t> ms = LoggedMs(dir_ / "show.log");
  ASSERT_GT(ms.size(), 48u);
  ASSERT_EQ(ms[47], 6000u);

  const std::vector<uint8_t> expected =
      capturetest::BlownUp(capturetest::RawToRgb(ReadFile(dir_ / "raw/frame-000048.raw"), false), 3, 2000, 1500);
  const ToolRun png = RunCommand("ffmpeg -v error -i " + Quote(dir_ / "png/frame-000048.png") + " -f rawvideo -pix_fmt rgb24 -");
  ASSERT_EQ(png.exitCode, 0);
  EXPECT_TRUE(png.output == std::string(expected.begin(), expected.end())) << "the PNG differs from the raw frame blown up";

  EXPECT_EQ(capturetest::Probe(dir_ / "show.mp4", "codec_name,width,height"), "h264,2000,1500\naac\n");
  const std::string video = Decoded(dir_ / "show.mp4", "rgb24");
  const size_t frameBytes = expected.size();
  ASSERT_EQ(video.size(), 7 * frameBytes);
  EXPECT_GE(video.find_first_not_of('\0'), 6 * frameBytes) << "video frames 0 to 5 come before the first presentation";
  EXPECT_TRUE(video.compare(6 * frameBytes, frameBytes, std::string(expected.begin(), expected.end())) == 0)
      << "the video frame at 6 s differs from the raw frame blown up";
}

TEST_F(VideoOptions, NativeRateShowsEveryPresentedFrameExactlyOnce) {
  if (capturetest::kThreadSanitizer) GTEST_SKIP() << capturetest::kOnePassUnderTsan;
  const ToolRun run = RunTool("capture --seconds 20 --fps native --video " + Quote(dir_ / "show.mp4") +
                              " --lossless --preset ultrafast --hashes " + Quote(dir_ / "show.hashes"));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  std::vector<std::string> hashes;
  std::ifstream in(dir_ / "show.hashes");
  for (std::string number, hash; in >> number >> hash;)
    if (number != "sound") hashes.push_back(hash);
  // A video frame every 15 ms before 20 s: black until the first presentation, then each
  // presented frame once.
  constexpr size_t kVideoFrames = 1334;
  ASSERT_GT(hashes.size(), 900u);
  const size_t black = kVideoFrames - hashes.size();
  EXPECT_NE(run.output.find("capture: " + std::to_string(hashes.size()) + " frames presented, 20.00 s of virtual time"),
            std::string::npos) << run.output;
  EXPECT_NE(run.output.find("show.mp4: 1334 video frames at 200/3 fps, 0 repeated, 0 skipped"), std::string::npos)
      << run.output;

  // Each video frame, its 8-bit colours taken back to 5:6:5 (the lossless video holds their
  // expansion), hashes as its presented frame did.
  FILE* decoded = popen(("ffmpeg -v error -i " + Quote(dir_ / "show.mp4") + " -map 0:v -f rawvideo -pix_fmt rgb24 -").c_str(), "r");
  ASSERT_NE(decoded, nullptr);
  const std::string blackHash = capture::Sha1::HexOf(std::vector<uint16_t>(640 * 480).data(), 640 * 480 * 2);
  std::vector<uint8_t> rgb(640 * 480 * 3);
  std::vector<uint16_t> pixels(640 * 480);
  size_t k = 0;
  for (; std::fread(rgb.data(), 1, rgb.size(), decoded) == rgb.size(); ++k) {
    for (size_t i = 0; i < pixels.size(); ++i)
      pixels[i] = static_cast<uint16_t>((rgb[3 * i] >> 3) << 11 | (rgb[3 * i + 1] >> 2) << 5 | rgb[3 * i + 2] >> 3);
    if (k >= kVideoFrames) continue;
    ASSERT_EQ(capture::Sha1::HexOf(pixels.data(), pixels.size() * 2), k < black ? blackHash : hashes[k - black])
        << "video frame " << k;
  }
  pclose(decoded);
  EXPECT_EQ(k, kVideoFrames);
}

TEST_F(VideoOptions, VideoEndsAtTheTimeAskedForAtWholeAndFractionalRates) {
  if (capturetest::kThreadSanitizer) GTEST_SKIP() << capturetest::kOnePassUnderTsan;
  // 60 a second: 600 frames in 10 s, and a summary of what the rate repeated and left out.
  ToolRun run = RunTool("capture --seconds 10 --video " + Quote(dir_ / "sixty.mp4") + " --log " + Quote(dir_ / "show.log"));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(capturetest::Probe(dir_ / "sixty.mp4", "codec_name,r_frame_rate,nb_read_frames,duration"),
            "h264,60/1,10.000000,600\naac,0/0,10.000000,469\n");
  const std::vector<uint64_t> ms = LoggedMs(dir_ / "show.log");
  int64_t shownBefore = 0, repeated = 0, distinct = 0;
  for (int k = 0; k < 600; ++k) {
    const int64_t shown = std::upper_bound(ms.begin(), ms.end(), k * 1000 / 60) - ms.begin();
    if (shown > 0 && shown == shownBefore) ++repeated;
    if (shown > 0 && shown != shownBefore) ++distinct;
    shownBefore = shown;
  }
  EXPECT_NE(run.output.find("capture: " + std::to_string(ms.size()) + " frames presented, 10.00 s of virtual time"),
            std::string::npos) << run.output;
  EXPECT_NE(run.output.find("sixty.mp4: 600 video frames at 60 fps, " + std::to_string(repeated) + " repeated, " +
                            std::to_string(ms.size() - distinct) + " skipped"),
            std::string::npos) << run.output;

  // 60000/1001: frame 600 would start at 10.01 s.
  run = RunTool("capture --seconds 10 --quiet --fps 60000/1001 --video " + Quote(dir_ / "ntsc.mp4"));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(capturetest::Probe(dir_ / "ntsc.mp4", "codec_name,r_frame_rate,nb_read_frames,duration"),
            "h264,60000/1001,10.010000,600\naac,0/0,10.010000,470\n");
}

}  // namespace
