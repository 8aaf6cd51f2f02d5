// The song as it sounds: played through our own renderer when it is built, and through a
// peer player, it must pass the show's cue positions in order and use the output's range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "XmFile.h"

#ifdef VEMORA_HAVE_PEERS
#include <libopenmpt/libopenmpt.h>
#endif

namespace songtest {
namespace {

const std::string kSongPath = std::string(VEMORA_SOURCE_DIR) + "/src/assets/song.xm";
const std::vector<std::pair<int, int>> kCues = {{3, 32}, {4, 0},  {6, 0},  {8, 0},  {10, 0}, {11, 0},
                                                {12, 0}, {14, 0}, {15, 0}, {16, 0}, {19, 48}};

struct Position {
  long frame;
  int order, row;
};

// Index of the first position of each cue, or -1 where it never comes.
std::vector<long> CueIndices(const std::vector<Position>& positions) {
  std::vector<long> out;
  for (const auto& [o, r] : kCues) {
    long found = -1;
    for (size_t i = 0; i < positions.size() && found < 0; i++)
      if (positions[i].order == o && positions[i].row == r) found = static_cast<long>(i);
    out.push_back(found);
  }
  return out;
}

void ExpectCuesInOrder(const std::vector<Position>& positions) {
  ASSERT_FALSE(positions.empty());
  int highest = 0;
  for (const Position& p : positions) highest = std::max(highest, p.order);
  EXPECT_LE(highest, 23);
  const std::vector<long> at = CueIndices(positions);
  for (size_t i = 0; i < at.size(); i++) {
    EXPECT_GE(at[i], 0) << "cue " << kCues[i].first << "/" << kCues[i].second << " never played";
    if (i) {
      EXPECT_GT(at[i], at[i - 1]) << "cue " << kCues[i].first << "/" << kCues[i].second << " out of order";
    }
  }
}

// 16-bit stereo PCM from a WAV file; empty when it is not one.
std::vector<int16_t> ReadWav(const std::string& path) {
  const std::vector<uint8_t> d = ReadFile(path);
  std::vector<int16_t> pcm;
  if (d.size() < 12 || std::string(d.begin(), d.begin() + 4) != "RIFF") return pcm;
  size_t at = 12;
  bool stereo16 = false;
  while (at + 8 <= d.size()) {
    const std::string id(d.begin() + at, d.begin() + at + 4);
    const size_t size = d[at + 4] | d[at + 5] << 8 | d[at + 6] << 16 | static_cast<size_t>(d[at + 7]) << 24;
    const size_t body = at + 8;
    if (id == "fmt " && body + 16 <= d.size()) stereo16 = d[body + 2] == 2 && d[body + 14] == 16;
    if (id == "data" && stereo16) {
      const size_t n = std::min(size, d.size() - body) / 2;
      for (size_t i = 0; i < n; i++) pcm.push_back(static_cast<int16_t>(d[body + 2 * i] | d[body + 2 * i + 1] << 8));
      return pcm;
    }
    at = body + size + (size & 1);
  }
  return pcm;
}

TEST(SongPlayback, OurRendererPassesTheCuesAndFillsTheRangeWithoutClipping) {
  const std::string xmrender = std::string(VEMORA_BIN_DIR) + "/xmrender";
  if (!std::filesystem::exists(xmrender)) GTEST_SKIP() << "xmrender is not built in this tree";
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vemora_song_render";
  std::filesystem::create_directories(dir);
  const std::string wav = (dir / "song.wav").string(), log = (dir / "positions.txt").string();
  const std::string command = xmrender + " " + kSongPath + " " + wav + " --positions > " + log;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  std::vector<Position> positions;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Position p;
    if (fields >> p.frame >> p.order >> p.row) positions.push_back(p);
  }
  ExpectCuesInOrder(positions);

  const std::vector<int16_t> pcm = ReadWav(wav);
  std::filesystem::remove_all(dir);
  ASSERT_GT(pcm.size(), 44100u * 2 * 60) << "at least a minute of stereo sound";
  int peak = 0;
  long saturated = 0;
  for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
    peak = std::max({peak, std::abs(static_cast<int>(pcm[i])), std::abs(static_cast<int>(pcm[i + 1]))});
    const auto full = [](int16_t v) { return v == 32767 || v == -32768; };
    if (full(pcm[i]) || full(pcm[i + 1])) saturated++;
  }
  const long frames = static_cast<long>(pcm.size() / 2);
  EXPECT_GT(20 * std::log10(peak / 32768.0), -3.0) << "peak " << peak;
  EXPECT_LT(saturated * 10000, frames) << saturated << " of " << frames << " frames saturate";
}

#ifdef VEMORA_HAVE_PEERS
TEST(SongPlayback, PeerPlayerPassesTheCuesAndEndsBeforeOrder24) {
  const std::vector<uint8_t> image = ReadFile(kSongPath);
  openmpt_module* m = openmpt_module_create_from_memory2(image.data(), image.size(), nullptr, nullptr, nullptr,
                                                         nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(m, nullptr);
  openmpt_module_set_repeat_count(m, 0);
  std::vector<Position> positions;
  std::vector<float> block(2 * 256);
  long frame = 0;
  float peak = 0;
  for (;;) {
    const size_t n = openmpt_module_read_interleaved_float_stereo(m, 44100, 256, block.data());
    if (n == 0) break;
    const int o = openmpt_module_get_current_order(m), r = openmpt_module_get_current_row(m);
    if (positions.empty() || positions.back().order != o || positions.back().row != r) positions.push_back({frame, o, r});
    for (size_t i = 0; i < 2 * n; i++) peak = std::max(peak, std::fabs(block[i]));
    frame += static_cast<long>(n);
  }
  openmpt_module_destroy(m);
  ExpectCuesInOrder(positions);
  // No order is entered part-way: players that differ on pattern-loop details still agree.
  for (size_t i = 1; i < positions.size(); i++) {
    if (positions[i].order != positions[i - 1].order) {
      EXPECT_EQ(positions[i].row, 0) << "order " << positions[i].order;
    }
  }
  // Our own walk of the order list and the peer agree on where the cues fall.
  Song song;
  std::string error;
  ASSERT_TRUE(ReadXm(image, song, error)) << error;
  const Walk walk = WalkSong(song);
  const std::vector<long> at = CueIndices(positions);
  for (size_t c = 0; c < kCues.size(); c++) {
    for (const RowVisit& v : walk.rows) {
      if (v.order != kCues[c].first || v.row != kCues[c].second) continue;
      EXPECT_NEAR(positions[at[c]].frame / 44100.0, v.seconds, 0.05) << "cue " << c;
      break;
    }
  }
  EXPECT_NEAR(frame / 44100.0, walk.rows.back().seconds, 0.2);
  EXPECT_GT(peak, 0.1f) << "the song is not silent";
}
#endif

}  // namespace
}  // namespace songtest
