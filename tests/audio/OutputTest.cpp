// What the virtual device played is exactly what the offline renderer writes for the song.
#include <cstdio>
#include <string>

#include "AudioFixture.h"
#include "RenderSong.h"
#include "audio/Mixer.h"
#include "player/Xmplayer.h"

namespace {

struct OutputCase {
  const char* name;
  int driver;
  int rate;
  bool interpolated;
};

class PlayedOutput : public AudioTest, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(PlayedOutput, FirstThirtySecondsEqualTheOfflineRender) {
  const OutputCase& c = GetParam();
  const std::string path = std::string(VEMORA_TESTDATA_DIR) + "/xm/song_fb_mainzik_1p.xm";
  constexpr int kSeconds = 30;
  if (std::FILE* f = std::fopen(path.c_str(), "rb"))
    std::fclose(f);
  else
    GTEST_SKIP() << "no corpus song at " << path;

  xmrender::Options options;
  options.rate = c.rate;
  options.plain = !c.interpolated;
  options.seconds = kSeconds;
  xmrender::Render offline;
  ASSERT_FALSE(xmrender::RenderFile(path.c_str(), options, offline));
  ASSERT_FALSE(offline.songEnded);  // the song is longer than the stretch compared
  ASSERT_EQ(offline.pcm.size(), static_cast<size_t>(kSeconds) * c.rate * 2);

  audioDriver = c.driver;
  mixRate = c.rate;
  interpolation = c.interpolated ? 1 : 0;
  mainWindow = MakeWindow();
  AudioCreate();
  // The corpus song instead of the embedded one.
  ASSERT_FALSE(musicPlayer->LoadFile(path.c_str(), nullptr));
  delete mixer;
  mixer = new SoftwareMixer(musicPlayer->channelCount);
  ASSERT_FALSE(AudioStart());
  for (int t = 0; t < kSeconds + 1; ++t) {
    Sleep(1000);
    AudioAdvance(70);
  }
  AudioStop();

  const auto streams = vt::PlayedAudioStreams();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].underruns, 0u);
  const size_t bytes = offline.pcm.size() * 2;
  ASSERT_GE(streams[0].bytes.size(), bytes);
  const auto* expected = reinterpret_cast<const uint8_t*>(offline.pcm.data());
  size_t firstDifference = bytes;
  for (size_t i = 0; i < bytes; ++i) {
    if (streams[0].bytes[i] != expected[i]) {
      firstDifference = i;
      break;
    }
  }
  EXPECT_EQ(firstDifference, bytes) << "first differing byte";
}

INSTANTIATE_TEST_SUITE_P(AudioSystem, PlayedOutput,
                         ::testing::Values(OutputCase{"WaveOut44100", 0, 44100, true},
                                           OutputCase{"DirectSound44100", 1, 44100, true},
                                           OutputCase{"WaveOut45454Plain", 0, 45454, false},
                                           OutputCase{"DirectSound11025", 1, 11025, true}),
                         [](const ::testing::TestParamInfo<OutputCase>& p) { return std::string(p.param.name); });

}  // namespace
