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

#include "ToolRun.h"

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
  fs::remove(bad);
}

}  // namespace
