// The whole show on the headless host through the capture tool's own runner: one pass is the
// same every time, plays the song exactly as the offline renderer renders it, and changes scene
// on the music triggers as the sound device plays them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "CaptureFiles.h"
#include "RenderSong.h"
#include "ShowRun.h"
#include "SoundFile.h"
#include "app/Settings.h"

namespace {

// What a viewer and a listener would notice: every presented frame (time, scene, heard
// position, with `pixels` a hash of them) and every played byte.
class Witness final : public capture::Recorder {
 public:
  explicit Witness(bool pixels = false) : pixels_(pixels) {}
  struct Shown {
    uint64_t atUs;
    int scene, order, row;
    size_t pixels;
    bool operator==(const Shown&) const = default;
  };

  bool NeedsPixels() const override { return pixels_; }
  void Frame(const capture::FrameEvent& f) override {
    const std::string_view bytes(reinterpret_cast<const char*>(f.pixels), f.pixels ? 640 * 480 * 2 : 0);
    frames.push_back({f.atUs, f.scene, f.order, f.row, std::hash<std::string_view>{}(bytes)});
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

 private:
  bool pixels_;
};

struct Pass {
  explicit Pass(bool pixels = false) : witness(pixels) {}
  capture::RunResult result;
  Witness witness;
};

void RunPass(const capture::ShowSettings& settings, Pass& pass) {
  capture::RunOptions options;
  options.settings = settings;
  pass.result = capture::RunShow(options, {&pass.witness});
}

const std::string kSong = VEMORA_SOURCE_DIR "/src/assets/song.xm";
constexpr int kShowRate = 45454;  // what GO gives untouched

TEST(WholeShow, TwoPassesAreIdenticalAndPlayTheSongAsXmrenderRendersIt) {
  if (capturetest::kThreadSanitizer) GTEST_SKIP() << capturetest::kOnePassUnderTsan;
  Pass first(true), second(true);
  RunPass({}, first);
  RunPass({}, second);
  for (const Pass* pass : {&first, &second}) {
    EXPECT_EQ(pass->result.exitCode, 0);
    EXPECT_TRUE(pass->result.passEnded);
    EXPECT_EQ(capture::RunFailure({}, pass->result, {}), "");
  }
  ASSERT_GT(first.witness.frames.size(), 0u);
  EXPECT_EQ(first.witness.frames.back().scene, 14);
  EXPECT_TRUE(first.witness.frames == second.witness.frames);
  EXPECT_EQ(first.witness.soundStartUs, second.witness.soundStartUs);
  EXPECT_TRUE(first.witness.sound == second.witness.sound);

  xmrender::Options options;
  options.rate = kShowRate;
  xmrender::Render offline;
  ASSERT_FALSE(xmrender::RenderFile(kSong.c_str(), options, offline));
  const std::vector<uint8_t>& played = first.witness.sound;
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

TEST(ShowRun, SoundFileStopsAtItsLimitAndTheRunGoesOn) {
  const std::string path = (capturetest::ScratchPath("capture_limit") += ".wav").string();
  capture::SoundFile wav(path, 1002);
  Witness witness;
  capture::RunOptions options;
  options.limitMs = 6000;
  const capture::RunResult result = capture::RunShow(options, {&wav, &witness});
  EXPECT_EQ(capture::RunFailure(options, result, {&wav, &witness}), "");
  EXPECT_GE(result.endUs, 6000000u);  // the run went on to its end
  EXPECT_LT(result.endUs, 7000000u);
  EXPECT_GT(witness.sound.size(), 1002u);
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
  ASSERT_EQ(file.size(), 44u + 1000);
  EXPECT_EQ(std::memcmp(file.data() + 44, witness.sound.data(), 1000), 0);
  std::remove(path.c_str());
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
