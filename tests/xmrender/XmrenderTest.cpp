// The xmrender binary over the whole corpus, and its exit codes. In a sanitizer build the
// binary is instrumented too, so any report shows up on its standard error here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "ToolRun.h"
#include "XmWriter.h"

namespace fs = std::filesystem;

namespace {

using tooltest::Quote;
using tooltest::ToolRun;

ToolRun Xmrender(const std::string& arguments) { return tooltest::RunTool("xmrender " + arguments); }

TEST(Xmrender, EveryCorpusFileRendersCleanly) {
  const fs::path dir = fs::path(VEMORA_TESTDATA_DIR) / "xm";
  if (!fs::exists(dir)) GTEST_SKIP() << "no corpus at " << dir;
  const fs::path out = fs::path(testing::TempDir()) / "xmrender_corpus.wav";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".xm") continue;
    files++;
    const ToolRun run = Xmrender(Quote(entry.path()) + " " + Quote(out) + " --seconds 3");
    EXPECT_EQ(run.exitCode, 0) << entry.path().filename() << ": " << run.output;
    EXPECT_EQ(run.output, "") << entry.path().filename();
    EXPECT_LE(fs::file_size(out), 44u + 3u * 44100 * 4) << entry.path().filename();
  }
  EXPECT_GT(files, 0);
  fs::remove(out);
}

TEST(Xmrender, PositionsPrintOneLinePerRowAndWavIsSixteenBitStereo) {
  const fs::path file = fs::path(VEMORA_TESTDATA_DIR) / "xm" / "lx_position_jump.xm";
  if (!fs::exists(file)) GTEST_SKIP();
  const fs::path out = fs::path(testing::TempDir()) / "xmrender_positions.wav";
  const ToolRun run = Xmrender(Quote(file) + " " + Quote(out) + " --rate 22050 --plain --positions");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output.rfind("0 0 0\n", 0), 0u);
  EXPECT_GT(std::count(run.output.begin(), run.output.end(), '\n'), 10);

  std::ifstream in(out, std::ios::binary);
  const std::vector<uint8_t> wav{std::istreambuf_iterator<char>(in), {}};
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(wav[22] | wav[23] << 8, 2);                                         // channels
  EXPECT_EQ(wav[24] | wav[25] << 8 | wav[26] << 16, 22050);                     // rate
  EXPECT_EQ(wav[34] | wav[35] << 8, 16);                                        // bits
  EXPECT_EQ(static_cast<size_t>(wav[40] | wav[41] << 8 | wav[42] << 16 | wav[43] << 24),
            wav.size() - 44);
  fs::remove(out);
}

TEST(Xmrender, RefusedFileAndMissingArgumentsExitWithTheirCodes) {
  const fs::path bad = fs::path(testing::TempDir()) / "xmrender_bad.xm";
  std::ofstream(bad, std::ios::binary) << "Extended Module: not really";
  const fs::path out = fs::path(testing::TempDir()) / "xmrender_bad.wav";
  const ToolRun refused = Xmrender(Quote(bad) + " " + Quote(out));
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(std::count(refused.output.begin(), refused.output.end(), '\n'), 1) << refused.output;
  const ToolRun missing = Xmrender(Quote(bad));
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.output.find("usage"), std::string::npos);
  EXPECT_EQ(Xmrender(Quote(bad) + " " + Quote(out) + " --rate").exitCode, 2);
  EXPECT_EQ(Xmrender(Quote(bad) + " " + Quote(out) + " --seconds inf").exitCode, 2);
  fs::remove(bad);
}

TEST(Xmrender, HelpAndVersionGoToStandardOutputWithZero) {
  const ToolRun help = tooltest::RunCommand(std::string(VEMORA_BIN_DIR) + "/xmrender --help 2>/dev/null");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.output.rfind("usage: xmrender IN.xm OUT.wav", 0), 0u) << help.output;
  for (const char* option : {"--rate HZ", "--plain", "--seconds S", "--positions", "--version"})
    EXPECT_NE(help.output.find(option), std::string::npos) << option;
  const ToolRun version = tooltest::RunCommand(std::string(VEMORA_BIN_DIR) + "/xmrender --version 2>/dev/null");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.output, "xmrender " VEMORA_VERSION "\n");
  EXPECT_EQ(Xmrender("--verbose").exitCode, 2);
}

// One order whose pattern jumps back to itself, playing a looped note all the while.
std::vector<uint8_t> NeverEndingSong() {
  xmw::Song song;
  song.name = "never ends";
  song.channels = 2;
  xmw::Pattern pattern;
  pattern.rows = 4;
  pattern.cells.resize(4 * 2);
  pattern.cells[0] = {49, 1, 0, 0, 0};
  pattern.cells[3 * 2] = {0, 0, 0, 0x0B, 0x00};
  song.patterns.push_back(pattern);
  song.orders = {0};
  xmw::Instrument instrument;
  instrument.name = "saw";
  xmw::Sample saw;
  for (int i = 0; i < 32; ++i) saw.pcm.push_back(static_cast<int16_t>(i * 8 - 128));
  saw.loopType = 1;
  saw.loopLength = 32;
  instrument.samples.push_back(saw);
  song.instruments.push_back(instrument);
  return xmw::WriteXm(song);
}

TEST(Xmrender, SongThatNeverEndsStopsAfterTwentyMinutesWithANoticeInFlatMemory) {
  const fs::path song = fs::path(testing::TempDir()) / "xmrender_never.xm";
  const std::vector<uint8_t> image = NeverEndingSong();
  std::ofstream(song, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());
  const fs::path out = fs::path(testing::TempDir()) / "xmrender_never.wav";

  const ToolRun capped = Xmrender(Quote(song) + " " + Quote(out) + " --rate 22050");
  EXPECT_EQ(capped.exitCode, 0);
  EXPECT_EQ(std::count(capped.output.begin(), capped.output.end(), '\n'), 1) << capped.output;
  EXPECT_NE(capped.output.find("20 minutes"), std::string::npos) << capped.output;
  const uint64_t bytes = 20ull * 60 * 22050 * 4;
  EXPECT_EQ(fs::file_size(out), 44 + bytes);
  // The render alone is 106 MB; written as it goes, the process stays far below that.
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  EXPECT_LT(usage.ru_maxrss, 48 * 1024) << "kB";

  const ToolRun limited = Xmrender(Quote(song) + " " + Quote(out) + " --rate 22050 --seconds 2");
  EXPECT_EQ(limited.exitCode, 0);
  EXPECT_EQ(limited.output, "");
  EXPECT_EQ(fs::file_size(out), 44u + 2 * 22050 * 4);
  fs::remove(song);
  fs::remove(out);
}

}  // namespace
