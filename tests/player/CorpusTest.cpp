#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "XmImage.h"
#include "player/Xmplayer.h"

namespace fs = std::filesystem;

namespace {

// Why the loader must refuse an image, from its header alone; empty when it must load.
std::string RefusalReason(const std::vector<uint8_t>& img) {
  if (img.size() < 336) return "shorter than the song header";
  if (xmtest::Get16(img, 58) != 0x0104) return "version other than 0x0104";
  const uint32_t channels = xmtest::Get16(img, 68), length = xmtest::Get16(img, 64);
  const uint32_t patterns = xmtest::Get16(img, 70), instruments = xmtest::Get16(img, 72);
  if (channels == 0 || channels > 32) return "channel count outside 1..32";
  if (length == 0 || length > 256) return "song length outside 1..256";
  if (patterns == 0 || patterns > 256) return "pattern count outside 1..256";
  if (instruments > 128) return "more than 128 instruments";
  return "";
}

}  // namespace

// Every corpus file is version 0x0104 with 2..24 channels, at most 256 patterns and 128
// instruments, so every one must load; a file that breaks those limits must be refused.
TEST(Corpus, EveryFileLoadsOrIsRefusedForAStatedReason) {
  const fs::path dir = fs::path(VEMORA_TESTDATA_DIR) / "xm";
  if (!fs::is_directory(dir)) GTEST_SKIP() << "no corpus at " << dir;
  int loaded = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".xm") continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream f(entry.path(), std::ios::binary);
    const std::vector<uint8_t> img{std::istreambuf_iterator<char>(f), {}};
    const std::string reason = RefusalReason(img);

    XMMusicPlayer player;
    SongInfo* info = nullptr;
    const bool failed = player.LoadMemory(img.data(), static_cast<int>(img.size()), &info);
    if (!reason.empty()) {
      EXPECT_TRUE(failed) << "should be refused: " << reason;
      EXPECT_EQ(info, nullptr);
      continue;
    }
    ASSERT_FALSE(failed);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->channelCount, static_cast<int>(xmtest::Get16(img, 68)));
    EXPECT_EQ(info->songLength, static_cast<int>(xmtest::Get16(img, 64)));
    EXPECT_EQ(info->patternCount, static_cast<int>(xmtest::Get16(img, 70)));
    EXPECT_EQ(info->instrumentCount, static_cast<int>(xmtest::Get16(img, 72)));
    EXPECT_EQ(info->imageSize, static_cast<int>(img.size()));
    EXPECT_EQ(player.channelCount, info->channelCount);
    for (int p = 0; p < info->songLength; p++) {
      EXPECT_GT(info->orderRows[p], 0);
      EXPECT_LE(info->orderRows[p], 256);
    }
    // At least one playable sample in every song of the corpus.
    int valid = 0;
    for (InstrumentRecord* ins : player.instruments) {
      if (!ins) continue;
      for (int s = 0; s < ins->sampleCount; s++) valid += ins->samples[s].valid;
    }
    EXPECT_GT(valid, 0);
    std::free(info);
    loaded++;
  }
  EXPECT_EQ(loaded, 60);
}
