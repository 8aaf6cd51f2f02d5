// Replay timing and song flow: tick length, row order, song end, pattern delay, loop and break.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "RenderSong.h"
#include "ReplayHarness.h"

using namespace replaytest;
using Rows = std::vector<std::pair<int, int>>;

namespace {

SongBuilder TimingSong() {
  SongBuilder b(2, 4, 5, 130, 2);
  b.At(0, 0) = Note(49);
  b.At(2, 1) = Note(61);
  return b;
}

TEST(ReplayTiming, RowLastsSpeedTimesTickWhateverTheCallSize) {
  const xmw::Song song = TimingSong().song;
  Harness blocks(song), frames(song);
  ASSERT_TRUE(blocks.loaded());
  EXPECT_EQ(blocks.player.samplesPerTick, 848);

  const int total = 3 * 4240;
  std::vector<int16_t> a, b;
  for (int done = 0; done < total; done += 630) {
    blocks.Render(std::min(630, total - done));
    a.insert(a.end(), blocks.pcm.begin(), blocks.pcm.end() - 2);
  }
  PlayerInfo info{};
  std::vector<int> rowSeenAfter;  // frames rendered when the snapshot first shows a new row
  int lastRow = 0;
  for (int done = 1; done <= total; done++) {
    frames.Render(1, &info);
    b.insert(b.end(), frames.pcm.begin(), frames.pcm.end() - 2);
    if (info.row != lastRow) rowSeenAfter.push_back(done);
    lastRow = info.row;
  }
  EXPECT_EQ(a, b);
  // The snapshot moves on once a row's last tick has run: 4 ticks of 848 frames plus one frame.
  EXPECT_EQ(rowSeenAfter, (std::vector<int>{3393, 7633, 11873}));
}

TEST(ReplayTiming, RenderToolReportsTheFrameEachRowStarts) {
  const auto path = std::filesystem::path(testing::TempDir()) / "replay_timing.xm";
  const std::vector<uint8_t> image = xmw::WriteXm(TimingSong().song);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                              static_cast<std::streamsize>(image.size()));
  xmrender::Options options;
  options.positions = true;
  xmrender::Render render;
  ASSERT_FALSE(xmrender::RenderFile(path.c_str(), options, render));
  ASSERT_EQ(render.rows.size(), 8u);
  for (size_t i = 0; i < render.rows.size(); i++) {
    EXPECT_EQ(render.rows[i].frame, static_cast<int64_t>(i) * 4240);
    EXPECT_EQ(render.rows[i].order, static_cast<int>(i / 4));
    EXPECT_EQ(render.rows[i].row, static_cast<int>(i % 4));
  }
  EXPECT_TRUE(render.songEnded);
  EXPECT_EQ(render.pcm.size(), 8u * 4240 * 2);
  std::filesystem::remove(path);
}

TEST(ReplayTiming, RenderOfNoFramesFillsTheSnapshotWithoutAdvancing) {
  Harness h(TimingSong().song);
  h.Ticks(7);
  h.Render(100);
  const int left = h.player.samplesLeft, tick = h.player.tick;
  PlayerInfo info{};
  h.Render(0, &info);
  EXPECT_EQ(h.player.samplesLeft, left);
  EXPECT_EQ(h.player.tick, tick);
  EXPECT_EQ(info.row, 1);
  EXPECT_EQ(info.tick, 2);
  EXPECT_EQ(info.speed, 5);
  EXPECT_EQ(info.patternRows, 4);
  EXPECT_EQ(info.position.load(), (0u << 16) | 1u);
}

TEST(ReplayTiming, SnapshotLevelsUsePlainVolumeAndFullAmplification) {
  SongBuilder b(3, 4, 6);
  b.At(0, 0) = Note(49, 1, 0x30, 7, 0xF8);  // tremolo moves the gains, not the levels
  b.At(0, 1) = Note(49, 1, 0, 8, 0x40);
  Harness h(b.song);
  h.player.SetAmplification(0x40000000);
  h.Ticks(2);
  ChannelLevel levels[3]{};
  PlayerInfo info{};
  info.channelCount = 3;
  info.levels = levels;
  h.Render(0, &info);
  const int32_t pan = 255 - 128;
  EXPECT_EQ(levels[0].left, ChannelGain(32 * 0x1FFFFFF, 65535, 64, 0x7fffffff, 0x7fffffff, pan) | 1);
  EXPECT_EQ(levels[1].right, ChannelGain(64 * 0x1FFFFFF, 65535, 64, 0x7fffffff, 0x7fffffff, 0x40) | 1);
  EXPECT_EQ(levels[2].left, 0);  // silent voice
  EXPECT_NE(h.voice(0).leftGain, levels[0].left);
}

TEST(ReplayTiming, SongWrapsToRestartPositionAndReportsTheEnd) {
  SongBuilder b(1, 1, 1, 125, 5);
  b.song.restartPosition = 3;
  Harness h(b.song);
  EXPECT_EQ(h.RowsOver(5), (Rows{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}));
  EXPECT_EQ(h.player.order, 3);
  EXPECT_TRUE(h.player.songEnded);
  EXPECT_EQ(h.RowsOver(2), (Rows{{3, 0}, {4, 0}}));
}

TEST(ReplayTiming, BackwardJumpEndsTheSongJumpToTheSameOrderDoesNot) {
  SongBuilder back(1, 1, 1, 125, 3);
  back.At(0, 0, 2) = Fx(0xB, 1);
  Harness h(back.song);
  EXPECT_EQ(h.RowsOver(4), (Rows{{0, 0}, {1, 0}, {2, 0}, {1, 0}}));
  EXPECT_TRUE(h.player.songEnded);

  SongBuilder same(1, 1, 1, 125, 3);
  same.At(0, 0, 1) = Fx(0xB, 1);
  Harness s(same.song);
  EXPECT_EQ(s.RowsOver(4), (Rows{{0, 0}, {1, 0}, {1, 0}, {1, 0}}));
  EXPECT_FALSE(s.player.songEnded);
}

TEST(ReplayTiming, LoopingOffPlaysTheLastTickThenSilence) {
  SongBuilder b(1, 1, 2, 125, 1);
  b.At(0, 0) = Note(49);
  Harness whole(b.song), single(b.song);
  whole.player.SetLooping(false);
  single.player.SetLooping(false);
  whole.Render(2 * 882 + 500);
  std::vector<int16_t> a(whole.pcm.begin(), whole.pcm.end() - 2), c;
  for (int i = 0; i < 2 * 882 + 500; i++) {
    single.Render(1);
    c.insert(c.end(), single.pcm.begin(), single.pcm.end() - 2);
  }
  EXPECT_EQ(a, c);
  bool lastTickSounds = false;
  for (int f = 882; f < 1764; f++) lastTickSounds |= a[2 * f] != 0;
  EXPECT_TRUE(lastTickSounds);
  for (int f = 1764; f < 1764 + 500; f++) ASSERT_EQ(a[2 * f], 0) << f;
  whole.Render(300);
  for (int i = 0; i < 600; i++) ASSERT_EQ(whole.pcm[i], 0);
}

TEST(PatternDelay, RowPlaysThriceTakingNotesOnlyOnItsFirstPass) {
  SongBuilder b(3, 4, 5, 125, 1);
  b.At(0, 0) = Fx(0xE, 0xE2);
  b.At(0, 1) = Note(49, 1, 0x30, 0xA, 0x01);  // behind the channel holding EE2
  b.At(0, 2) = Note(49, 1, 0x20, 0xE, 0xA1);
  Harness h(b.song);
  h.Tick();
  EXPECT_NE(h.voice(1).playMode, 0);
  h.Ticks(4);
  h.Tick();  // first tick of the first repeat: no new note, the sample runs on
  EXPECT_GT(h.Offset(1), 100);
  h.Ticks(9);
  EXPECT_EQ(h.player.row, 1);
  EXPECT_EQ(h.player.tick, 0);
  EXPECT_EQ(h.channel(1).volume, 32 - 3 * 4);  // the 0x30 volume is not set again
  EXPECT_EQ(h.channel(2).volume, 16 + 3);      // fine slide on each pass
}

TEST(PatternFlow, BreakRowIsBinaryAndFallsBackToRowZero) {
  SongBuilder b(1, 32, 1, 125, 2);
  b.At(0, 0) = Fx(0xD, 0x10);
  Harness h(b.song);
  EXPECT_EQ(h.RowsOver(2), (Rows{{0, 0}, {1, 16}}));

  SongBuilder far(1, 32, 1, 125, 2);
  far.At(0, 0) = Fx(0xD, 0x40);
  Harness f(far.song);
  EXPECT_EQ(f.RowsOver(2), (Rows{{0, 0}, {1, 0}}));
}

TEST(PatternFlow, LoopRepeatsThenALaterLoopReturnsBehindTheFirst) {
  SongBuilder b(1, 16, 1, 125, 1);
  b.At(4, 0) = Fx(0xE, 0x60);
  b.At(8, 0) = Fx(0xE, 0x63);
  b.At(12, 0) = Fx(0xE, 0x62);
  Harness h(b.song);
  Rows expected;
  for (int r = 0; r < 4; r++) expected.emplace_back(0, r);
  for (int pass = 0; pass < 4; pass++)
    for (int r = 4; r <= 8; r++) expected.emplace_back(0, r);
  for (int pass = 0; pass < 3; pass++)
    for (int r = 9; r <= 12; r++) expected.emplace_back(0, r);
  for (int r = 13; r < 16; r++) expected.emplace_back(0, r);
  expected.emplace_back(0, 0);
  EXPECT_EQ(h.RowsOver(static_cast<int>(expected.size())), expected);
}

TEST(PatternFlow, LoopStartPastTheLastRowEndsThePattern) {
  SongBuilder b(2, 4, 1, 125, 2);
  b.At(3, 0) = Fx(0xE, 0x61);
  b.At(3, 1) = Fx(0xE, 0x61);
  Harness h(b.song);
  EXPECT_EQ(h.RowsOver(6), (Rows{{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {1, 1}}));
}

TEST(PatternFlow, PlayerWithoutSongRendersSilence) {
  XMMusicPlayer player;
  player.SetPosition(3, 5);
  EXPECT_EQ(player.order, 0);
  EXPECT_EQ(player.row, 0);
  SoftwareMixer mixer(2);
  mixer.setMode(MixModeStereoInterpolated);
  std::vector<int16_t> pcm(400, 0x5555);
  uint8_t* cursor = reinterpret_cast<uint8_t*>(pcm.data());
  PlayerInfo info{};
  player.Render(&mixer, cursor, 200, &info, 1);
  EXPECT_EQ(cursor, reinterpret_cast<uint8_t*>(pcm.data() + 400));
  for (int16_t s : pcm) ASSERT_EQ(s, 0);
  EXPECT_EQ(info.order, 0);
}

TEST(PatternFlow, SpeedAndTempoSplitAt32) {
  SongBuilder b(1, 4, 6, 125, 1);
  b.At(0, 0) = Fx(0xF, 0x20);
  b.At(1, 0) = Fx(0xF, 0x1F);
  Harness h(b.song);
  h.Tick();
  EXPECT_EQ(h.player.bpm, 32);
  EXPECT_EQ(h.player.samplesPerTick, 44100 * 5 / 64);
  h.Ticks(6);
  EXPECT_EQ(h.player.speed, 31);
}

}  // namespace
