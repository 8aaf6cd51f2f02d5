// The streaming WAV writer shared by xmrender and capture.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "WavWriter.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TEST(WavWriter, StopsAtItsLimitOnAWholeFrameWithSizesThatFit) {
  const std::string path = ::testing::TempDir() + "/wavwriter_limit.wav";
  const uint8_t pcm[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  wavfile::WavWriter wav(10);
  ASSERT_FALSE(wav.Open(path));
  EXPECT_TRUE(wav.Append(pcm, 4));
  EXPECT_FALSE(wav.Append(pcm + 4, 8));  // only one of these two frames fits
  EXPECT_TRUE(wav.full());
  EXPECT_FALSE(wav.failed());
  EXPECT_FALSE(wav.Append(pcm, 4));
  EXPECT_FALSE(wav.Close(22050));

  const std::vector<uint8_t> file = ReadFile(path);
  ASSERT_EQ(file.size(), 44u + 8);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
  EXPECT_EQ(Le32(file, 4), 36u + 8);
  EXPECT_EQ(Le32(file, 24), 22050u);
  EXPECT_EQ(Le32(file, 28), 22050u * 4);
  EXPECT_EQ(Le32(file, 40), 8u);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 44, file.end()), std::vector<uint8_t>(pcm, pcm + 8));
  std::filesystem::remove(path);

  // By default: the largest whole number of frames whose RIFF size (36 + data) fits 32 bits.
  EXPECT_EQ(wavfile::kMaxDataBytes % 4, 0u);
  EXPECT_LE(uint64_t{wavfile::kMaxDataBytes} + 36, uint64_t{UINT32_MAX});
  EXPECT_GT(uint64_t{wavfile::kMaxDataBytes} + 4 + 36, uint64_t{UINT32_MAX});
}

}  // namespace
