// The whole show on the headless host through the capture tool's own runner: one pass shows the
// golden frames in both display formats, plays the song exactly as the offline renderer renders
// it, and changes scene on the music triggers as the sound device plays them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "CaptureFiles.h"
#include "FrameLog.h"
#include "PngFile.h"
#include "RenderSong.h"
#include "ShowRun.h"
#include "SoundFile.h"
#include "ToolRun.h"
#include "VideoFile.h"
#include "app/Settings.h"

namespace {

namespace fs = std::filesystem;

// What a viewer and a listener would notice apart from the pixels: every presented frame (time,
// scene, heard position) and every played byte.
class Witness final : public capture::Recorder {
 public:
  struct Shown {
    uint64_t atUs;
    int scene, order, row;
    bool operator==(const Shown&) const = default;
  };

  void Frame(const capture::FrameEvent& f) override {
    frames.push_back({f.atUs, f.scene, f.order, f.row});
    overlays.push_back(f.overlay);
    sceneStartUs.emplace(f.scene, f.atUs);  // keeps the first
  }
  void Sound(const capture::SoundEvent& s) override {
    if (sound.empty()) {
      soundStartUs = s.atUs;
      soundRate = s.rate;
    }
    sound.insert(sound.end(), s.bytes, s.bytes + s.size);
  }

  std::vector<Shown> frames;
  std::vector<bool> overlays;
  std::map<int, uint64_t> sceneStartUs;
  std::vector<uint8_t> sound;
  uint64_t soundStartUs = 0;
  int soundRate = 0;
};

// Compares a run with a hash file of tests/golden as it goes, and keeps what a person needs to
// find the first difference: its place in the show and a picture of it.
class GoldenCheck final : public capture::Recorder {
 public:
  explicit GoldenCheck(std::string name) : name_(std::move(name)), path_(kGoldenDir / (name_ + ".hashes")) {
    std::ifstream in(path_);
    for (std::string line; std::getline(in, line);) expected_.push_back(line);
  }

  bool NeedsPixels() const override { return true; }
  void Frame(const capture::FrameEvent& f) override {
    ++frames_;
    const std::string line = std::to_string(f.number) + " " + capture::FrameSha1(f.pixels);
    if (f.number < static_cast<int64_t>(expected_.size()) && expected_[f.number - 1] == line) return;
    if (differing_++ > 0) return;
    char place[160];
    std::snprintf(place, sizeof place, "frame %lld (scene %d at %.3f s, song position %d/%d)",
                  static_cast<long long>(f.number), f.scene, static_cast<double>(f.atUs) / 1e6, f.order, f.row);
    first_ = place;
    fs::create_directories(kMismatchDir);
    picture_ = kMismatchDir / (name_ + "-frame-" + std::to_string(f.number) + ".png");
    capture::PngEncoder().Write(picture_.string(), f.pixels, f.overlay);
  }
  void Sound(const capture::SoundEvent& s) override { sound_.Update(s.bytes, s.size); }

  // Empty when the run showed and played what the file holds.
  std::string Verdict() {
    if (expected_.empty()) return path_.string() + " is missing: scripts/golden makes it";
    const int64_t expectedFrames = static_cast<int64_t>(expected_.size()) - 1;  // and the sound line
    std::string verdict;
    if (differing_ > 0 || frames_ != expectedFrames)
      verdict = std::to_string(differing_) + " of " + std::to_string(frames_) + " frames differ from " +
                path_.string() + " (" + std::to_string(expectedFrames) + " there)" +
                (first_.empty() ? "" : "; the first is " + first_ + ", written to " + picture_.string()) + ". ";
    if (expected_.back() != "sound " + capture::Sha1::Hex(sound_.Final())) verdict += "The sound differs.";
    return verdict;
  }

 private:
  inline static const fs::path kGoldenDir = VEMORA_SOURCE_DIR "/tests/golden";
  inline static const fs::path kMismatchDir = fs::path(VEMORA_BIN_DIR).parent_path() / "golden-mismatch";
  std::string name_;
  fs::path path_;
  std::vector<std::string> expected_;
  int64_t frames_ = 0;
  int64_t differing_ = 0;
  std::string first_;
  fs::path picture_;
  capture::Sha1 sound_;
};

struct Pass {
  capture::RunResult result;
  Witness witness;
};

void RunPass(const capture::ShowSettings& settings, Pass& pass, capture::Recorder* check = nullptr) {
  capture::RunOptions options;
  options.settings = settings;
  std::vector<capture::Recorder*> recorders{&pass.witness};
  if (check) recorders.push_back(check);
  pass.result = capture::RunShow(options, recorders);
}

const std::string kSong = VEMORA_SOURCE_DIR "/src/assets/song.xm";
constexpr int kShowRate = 45454;  // what GO gives untouched

TEST(WholeShow, BothDisplayFormatsMatchTheGoldenFramesAndPlayTheSongAsXmrenderRendersIt) {
  if (capturetest::kThreadSanitizer) GTEST_SKIP() << capturetest::kOnePassUnderTsan;
  Pass full, windowed;
  GoldenCheck fullGolden("fullscreen"), windowedGolden("windowed");
  RunPass({}, full, &fullGolden);
  RunPass({.windowed = true}, windowed, &windowedGolden);
  for (const Pass* pass : {&full, &windowed}) {
    EXPECT_EQ(pass->result.exitCode, 0);
    EXPECT_TRUE(pass->result.passEnded);
    EXPECT_EQ(capture::RunFailure({}, pass->result, {}), "");
  }
  EXPECT_EQ(fullGolden.Verdict(), "");
  EXPECT_EQ(windowedGolden.Verdict(), "");

  // The display format changes the pixels alone; and the second run in this process, after the
  // first, keeps to the same times, scenes, song positions and sound.
  ASSERT_GT(full.witness.frames.size(), 0u);
  EXPECT_EQ(full.witness.frames.back().scene, 14);
  EXPECT_TRUE(full.witness.frames == windowed.witness.frames);
  EXPECT_EQ(full.witness.soundStartUs, windowed.witness.soundStartUs);
  EXPECT_TRUE(full.witness.sound == windowed.witness.sound);

  xmrender::Options options;
  options.rate = kShowRate;
  xmrender::Render offline;
  ASSERT_FALSE(xmrender::RenderFile(kSong.c_str(), options, offline));
  const std::vector<uint8_t>& played = full.witness.sound;
  ASSERT_GT(played.size(), size_t{kShowRate} * 4 * 60);
  // The song ends during the credits and plays on from its restart position: what played first
  // is the whole render.
  const size_t songBytes = offline.pcm.size() * 2;
  ASSERT_GT(played.size(), songBytes);
  EXPECT_EQ(std::memcmp(played.data(), offline.pcm.data(), songBytes), 0);
}

// The song position at which each scene from 3 to 13 ends.
struct Trigger {
  int scene, order, row;
};
constexpr Trigger kTriggers[] = {{3, 3, 32}, {4, 4, 0},   {5, 6, 0},   {6, 8, 0},   {7, 10, 0},   {8, 11, 0},
                                 {9, 12, 0}, {10, 14, 0}, {11, 15, 0}, {12, 16, 0}, {13, 19, 48}};

// The device the show plays through, with the dialog's answer for it.
struct Device {
  const char* name;
  capture::ShowSettings settings;
};

// Names the device in test listings instead of dumping its bytes.
void PrintTo(const Device& device, std::ostream* out) { *out << device.name; }

class MusicTriggers : public ::testing::TestWithParam<Device> {};

TEST_P(MusicTriggers, NextSceneStartsWithin100msOfTheDevicePlayingTheTriggerRow) {
  if (capturetest::kThreadSanitizer && GetParam().settings.dsound) GTEST_SKIP() << capturetest::kOnePassUnderTsan;
  Pass pass;
  RunPass(GetParam().settings, pass);
  ASSERT_TRUE(pass.result.passEnded);
  ASSERT_FALSE(pass.witness.sound.empty());

  xmrender::Options options;
  options.rate = kShowRate;
  options.plain = GetParam().settings.plain;
  options.positions = true;
  xmrender::Render offline;
  ASSERT_FALSE(xmrender::RenderFile(kSong.c_str(), options, offline));
  for (const Trigger& t : kTriggers) {
    SCOPED_TRACE("scene " + std::to_string(t.scene));
    // The first row at or past the trigger, as the scenes compare positions.
    const xmrender::RowStart* row = nullptr;
    for (const xmrender::RowStart& r : offline.rows)
      if (r.order > t.order || (r.order == t.order && r.row >= t.row)) {
        row = &r;
        break;
      }
    ASSERT_NE(row, nullptr);
    const auto heardUs = static_cast<int64_t>(pass.witness.soundStartUs + row->frame * 1000000 / kShowRate);
    ASSERT_EQ(pass.witness.sceneStartUs.count(t.scene + 1), 1u);
    const auto nextSceneUs = static_cast<int64_t>(pass.witness.sceneStartUs[t.scene + 1]);
    EXPECT_LE(std::llabs(nextSceneUs - heardUs), 100000) << "scene starts " << (nextSceneUs - heardUs) / 1000
                                                         << " ms after the row was heard";
  }
}

INSTANTIATE_TEST_SUITE_P(Devices, MusicTriggers,
                         ::testing::Values(Device{"waveOut", {}}, Device{"DirectSound", {.dsound = true}}),
                         [](const ::testing::TestParamInfo<Device>& info) { return std::string(info.param.name); });

// --- Settings and runs cut short

TEST(ShowRun, DialogAnswersGiveTheChosenSettingsWhateverTheRunBeforeLeft) {
  capture::RunOptions options;
  options.limitMs = 5500;  // a few presented frames
  for (const capture::ShowSettings settings :
       {capture::ShowSettings{true, true, false, 22050, true}, capture::ShowSettings{}}) {
    SCOPED_TRACE(settings.dsound ? "chosen" : "untouched");
    options.settings = settings;
    // Two waveOut devices come before the first DirectSound one.
    options.prepare = [] { vemora::testing::SetAudioDevices({"Speakers", "Headphones"}); };
    Witness witness;
    const capture::RunResult result = capture::RunShow(options, {&witness});
    EXPECT_EQ(capture::RunFailure(options, result, {&witness}), "");
    EXPECT_EQ(interpolation, settings.plain ? 0 : 1);
    EXPECT_EQ(windowed, settings.windowed);
    EXPECT_EQ(loopDemo, settings.loop);
    EXPECT_EQ(mixRate, settings.dsound ? 22050 : kShowRate);
    EXPECT_EQ(audioDriver, settings.dsound ? 1 : 0);
    EXPECT_EQ(audioDevice, 0);
    ASSERT_FALSE(witness.overlays.empty());
    for (bool overlay : witness.overlays) EXPECT_EQ(overlay, settings.windowed);
    EXPECT_EQ(witness.soundRate, mixRate);
  }
}

TEST(ShowRun, FullWavEndsTheRunAsAFailureAndEveryOutputIsWholeToThere) {
  const fs::path dir = capturetest::ScratchPath("capture_full");
  fs::remove_all(dir);
  fs::create_directories(dir);
  constexpr uint32_t kOneSecond = kShowRate * 4;
  capture::SoundFile wav((dir / "show.wav").string(), capture::SoundFile::Kind::Wav, kOneSecond);
  capture::LogFile log((dir / "show.log").string());
  capture::VideoFile video((dir / "show.mp4").string(), {});
  Witness witness;
  capture::RunOptions options;
  options.limitMs = 20000;
  const std::vector<capture::Recorder*> recorders{&wav, &log, &video, &witness};
  const capture::RunResult result = capture::RunShow(options, recorders);
  EXPECT_EQ(capture::RunFailure(options, result, recorders),
            (dir / "show.wav").string() + ": full at 181816 bytes of sound, the most a WAV file can hold; the run ends there");

  // It ended at the first frame after the sound filled the file, one frame period after it.
  ASSERT_FALSE(witness.frames.empty());
  const uint64_t fullUs = witness.soundStartUs + 1000000;
  EXPECT_GE(witness.frames.back().atUs, fullUs);
  EXPECT_LT(witness.frames.back().atUs, fullUs + 100000);
  EXPECT_EQ(result.endUs, witness.frames.back().atUs + capture::kTickUs);
  EXPECT_EQ(result.frames, static_cast<int64_t>(witness.frames.size()));

  const std::vector<uint8_t> file = capturetest::ReadFile(dir / "show.wav");
  ASSERT_EQ(file.size(), 44u + kOneSecond);
  EXPECT_EQ(capturetest::Le32(file, 4), file.size() - 8);
  EXPECT_EQ(capturetest::Le32(file, 40), kOneSecond);
  EXPECT_EQ(std::memcmp(file.data() + 44, witness.sound.data(), kOneSecond), 0);

  const std::vector<uint8_t> text = capturetest::ReadFile(dir / "show.log");
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), result.frames);

  // The video runs to the same end with its sound, which no WAV limit cuts.
  const tooltest::ToolRun probe = tooltest::RunCommand(
      "ffprobe -v error -show_entries stream=codec_name,duration -of csv=p=0 " + tooltest::Quote(dir / "show.mp4"));
  ASSERT_EQ(probe.exitCode, 0);
  const double seconds = static_cast<double>((result.endUs * 60 + 999999) / 1000000) / 60;
  double videoSeconds = 0, soundSeconds = 0;
  ASSERT_EQ(std::sscanf(probe.output.c_str(), "h264,%lf\naac,%lf\n", &videoSeconds, &soundSeconds), 2) << probe.output;
  EXPECT_NEAR(videoSeconds, seconds, 1e-6);
  EXPECT_NEAR(soundSeconds, seconds, 0.001);  // the container gives the sound's length in ms
  fs::remove_all(dir);
}

TEST(ShowRun, FailingProgramIsReportedWithItsMessage) {
  capture::RunOptions options;
  options.prepare = [] { vemora::testing::FailWaveOutOpen(); };
  Witness witness;
  const capture::RunResult result = capture::RunShow(options, {&witness});
  EXPECT_EQ(result.exitCode, -1);
  EXPECT_EQ(capture::RunFailure(options, result, {&witness}), "the program failed (exit code -1): audio failed");
  EXPECT_TRUE(witness.frames.empty());
}

}  // namespace
