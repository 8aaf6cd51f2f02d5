// The committed song: reproducible from its authoring program, well-formed for our player and
// for other players, and shaped so that the show's scene cuts land on its sections.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "XmFile.h"

#ifdef VEMORA_HAVE_PEERS
#include <libopenmpt/libopenmpt.h>
#include <xmp.h>
#endif

namespace songtest {
namespace {

const std::string kSongPath = std::string(VEMORA_SOURCE_DIR) + "/src/assets/song.xm";

const Song& TheSong() {
  static Song song = [] {
    Song s;
    std::string error;
    EXPECT_TRUE(ReadXm(ReadFile(kSongPath), s, error)) << error;
    return s;
  }();
  return song;
}

TEST(SongFile, AuthoringProgramReproducesTheCommittedFileByteForByte) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("vemora_song_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const std::string out = (dir / "song.xm").string();
  const std::string command = std::string(VEMORA_BIN_DIR) + "/makesong " + out;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::vector<uint8_t> made = ReadFile(out);
  const std::vector<uint8_t> committed = ReadFile(kSongPath);
  std::filesystem::remove_all(dir);
  ASSERT_FALSE(committed.empty());
  EXPECT_EQ(made.size(), committed.size());
  EXPECT_TRUE(made == committed) << "src/assets/song.xm is stale: run makesong and commit the result";
}

TEST(SongFile, HeaderDescribesTheShowsSong) {
  const Song& s = TheSong();
  EXPECT_EQ(s.version, 0x0104);
  EXPECT_EQ(s.channels, 32);
  EXPECT_EQ(s.patterns.size(), 17u);
  EXPECT_EQ(s.instruments.size(), 32u);
  EXPECT_EQ(s.songLength, 24);
  EXPECT_EQ(s.speed, 5);
  EXPECT_EQ(s.bpm, 130);
  EXPECT_EQ(s.flags & 1, 1) << "linear frequencies";
  EXPECT_GT(s.restart, 0);
  EXPECT_LT(s.restart, s.songLength);
  for (int o = 0; o < s.songLength; o++) EXPECT_LT(s.orders[o], s.patterns.size()) << "order " << o;
  EXPECT_LT(ReadFile(kSongPath).size(), 2u * 1024 * 1024);
}

TEST(SongFile, EverySampleAndEnvelopeIsWithinTheFormatsLimits) {
  const Song& s = TheSong();
  for (size_t i = 0; i < s.instruments.size(); i++) {
    const Instrument& ins = s.instruments[i];
    SCOPED_TRACE("instrument " + std::to_string(i + 1));
    ASSERT_FALSE(ins.samples.empty());
    for (uint8_t k : ins.keymap) EXPECT_LT(k, ins.samples.size());
    // The player has no instrument auto-vibrato; a song that relied on it would sound wrong.
    EXPECT_EQ(ins.vibratoDepth, 0);
    for (const Envelope* e : {&ins.volume, &ins.panning}) {
      EXPECT_LE(e->count, 12);
      if (!(e->type & 1)) continue;
      EXPECT_GE(e->count, 2) << "a one-point envelope has no segment to play";
      for (size_t p = 0; p < e->points.size(); p++) {
        EXPECT_LE(e->points[p].second, 64);
        if (p) {
          EXPECT_GT(e->points[p].first, e->points[p - 1].first) << "point " << p;
        }
      }
      if (e->type & 2) {
        EXPECT_LT(e->sustain, e->count);
      }
      if (e->type & 4) {
        EXPECT_LE(e->loopStart, e->loopEnd);
        EXPECT_LT(e->loopEnd, e->count);
      }
    }
    for (const Sample& smp : ins.samples) {
      EXPECT_GT(smp.length, 0u);
      EXPECT_LE(smp.volume, 64);
      if (smp.sixteenBit()) {
        EXPECT_EQ(smp.length % 2, 0u);
        EXPECT_EQ(smp.loopStart % 2, 0u);
        EXPECT_EQ(smp.loopLength % 2, 0u);
      }
      if (smp.loopType() != 0) {
        EXPECT_NE(smp.loopType(), 3);
        EXPECT_GT(smp.loopLength, 0u);
        EXPECT_LE(smp.loopStart + smp.loopLength, smp.length);
      }
    }
  }
}

// Commands the player ignores would leave holes in the music, and notes pitched past the
// top of the range would not sound as written.
TEST(SongFile, PatternsUseOnlyCommandsAndNotesThePlayerPlays) {
  const Song& s = TheSong();
  std::set<int> used;
  for (size_t p = 0; p < s.patterns.size(); p++) {
    const Pattern& pat = s.patterns[p];
    std::vector<int> lastInstrument(s.channels, 0);
    for (size_t i = 0; i < pat.cells.size(); i++) {
      const Cell& c = pat.cells[i];
      const int channel = static_cast<int>(i % s.channels);
      SCOPED_TRACE("pattern " + std::to_string(p) + " row " + std::to_string(i / s.channels) + " channel " +
                   std::to_string(channel));
      if (c.instrument) {
        EXPECT_LE(c.instrument, s.instruments.size());
        lastInstrument[channel] = c.instrument;
      }
      EXPECT_LE(c.note, 97);
      if (c.note >= 1 && c.note <= 96 && lastInstrument[channel]) {
        const Instrument& ins = s.instruments[lastInstrument[channel] - 1];
        const Sample& smp = ins.samples[ins.keymap[c.note - 1]];
        EXPECT_LE(c.note + smp.relativeNote, 120);
        EXPECT_GE(c.note + smp.relativeNote, 1);
      }
      EXPECT_FALSE(c.effect == 0 && c.param != 0) << "arpeggio";
      EXPECT_TRUE(c.effect <= 17 || c.effect == 20 || c.effect == 21 || c.effect == 25 || c.effect == 27 ||
                  c.effect == 29 || c.effect == 33)
          << "effect " << int(c.effect);
      if (c.effect == 0x0E) {
        const int x = c.param >> 4;
        EXPECT_TRUE(x != 0 && x != 3 && x != 5 && x != 8 && x != 0xF) << "E" << x;
      }
      if (c.volume >= 0x10 && c.volume <= 0x50) used.insert(0x100);
      if (c.volume >= 0x60) used.insert(0x100 + (c.volume >> 4));
      if (c.volume > 0x50 && c.volume < 0x60) ADD_FAILURE() << "volume byte " << int(c.volume);
      if (c.effect || c.param) used.insert(c.effect == 0x0E ? 0xE0 + (c.param >> 4) : c.effect);
    }
  }
  // The song shows off the player: every family of commands appears at least once.
  for (int e : {0x1, 0x2, 0x3, 0x4, 0x6, 0x7, 0x8, 0x9, 0xA, 0xC, 0xF, 16, 17, 20, 25, 27, 29, 33, 0xE6, 0xE7, 0xE9,
                0xEC, 0xED, 0xEE, 0x100, 0x106, 0x107, 0x10A, 0x10B, 0x10C, 0x10E, 0x10F})
    EXPECT_TRUE(used.count(e)) << "command " << std::hex << e << " unused";
}

TEST(SongFile, PlayOrderPassesEverySceneCueInOrder) {
  const Song& s = TheSong();
  ASSERT_GE(s.patterns[s.orders[3]].rows, 33);
  ASSERT_GE(s.patterns[s.orders[19]].rows, 49);
  const Walk w = WalkSong(s);
  ASSERT_TRUE(w.wrapped) << "the song must come to its end and loop";
  const std::vector<std::pair<int, int>> cues = {{3, 32}, {4, 0},  {6, 0},  {8, 0},  {10, 0}, {11, 0},
                                                 {12, 0}, {14, 0}, {15, 0}, {16, 0}, {19, 48}};
  size_t next = 0;
  int lastOrder = 0, lastRow = -1;
  std::vector<RowVisit> reached;
  for (size_t i = 0; i + 1 < w.rows.size(); i++) {  // the last visit is where the loop lands
    const RowVisit& v = w.rows[i];
    EXPECT_LT(v.order, 24);
    // Forward only: a backward step before the last cue would replay a scene's music.
    const bool forward = v.order > lastOrder || (v.order == lastOrder && v.row > lastRow);
    if (next < cues.size()) {
      EXPECT_TRUE(forward) << "back to " << v.order << "/" << v.row;
    }
    lastOrder = v.order;
    lastRow = v.row;
    if (next < cues.size()) {
      const auto [o, r] = cues[next];
      // Passing a cue without playing its row would cut the picture off the beat.
      ASSERT_FALSE(v.order > o || (v.order == o && v.row > r)) << "jumped over " << o << "/" << r;
      if (v.order == o && v.row == r) {
        reached.push_back(v);
        next++;
      }
    }
  }
  ASSERT_EQ(next, cues.size());
  EXPECT_GE(reached[0].seconds, 12.0) << "the title needs its time";
  // Ticks of 15 ms at the show's frame rate between the title's end and the closing bars' end.
  EXPECT_GE(reached[1].seconds - reached[0].seconds, 31 * 0.015);
  EXPECT_EQ(w.rows.back().order, s.restart);
}

#ifdef VEMORA_HAVE_PEERS
TEST(SongFile, OtherPlayersLoadItAsWritten) {
  const std::vector<uint8_t> image = ReadFile(kSongPath);
  openmpt_module* m = openmpt_module_create_from_memory2(image.data(), image.size(), nullptr, nullptr, nullptr,
                                                         nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(openmpt_module_get_num_channels(m), 32);
  EXPECT_EQ(openmpt_module_get_num_orders(m), 24);
  EXPECT_EQ(openmpt_module_get_num_patterns(m), 17);
  EXPECT_EQ(openmpt_module_get_num_instruments(m), 32);
  EXPECT_EQ(openmpt_module_get_current_speed(m), 5);
  EXPECT_EQ(openmpt_module_get_current_tempo(m), 130);
  openmpt_module_destroy(m);

  xmp_context x = xmp_create_context();
  ASSERT_EQ(xmp_load_module_from_memory(x, image.data(), static_cast<long>(image.size())), 0);
  xmp_module_info info;
  xmp_get_module_info(x, &info);
  EXPECT_EQ(info.mod->chn, 32);
  EXPECT_EQ(info.mod->len, 24);
  EXPECT_EQ(info.mod->pat, 17 + 1);  // this player appends an empty pattern of its own to every XM
  EXPECT_EQ(info.mod->ins, 32);
  EXPECT_EQ(info.mod->spd, 5);
  EXPECT_EQ(info.mod->bpm, 130);
  EXPECT_EQ(info.mod->rst, TheSong().restart);
  xmp_release_module(x);
  xmp_free_context(x);
}
#endif

}  // namespace
}  // namespace songtest
