// The song's text notation: what a musician writes must land in the cells a tracker would show.
#include <gtest/gtest.h>

#include "Notation.h"

namespace song {
namespace {

constexpr int kChannels = 4;

xmw::Pattern Empty(int rows = 16) {
  xmw::Pattern p;
  p.rows = rows;
  return p;
}

const xmw::Cell& At(const xmw::Pattern& p, int row, int channel) { return p.cells[row * kChannels + channel]; }

TEST(SongNotation, NotesKeyOffsAndInstrumentsLandOnTheirRows) {
  xmw::Pattern p = Empty();
  Place(p, kChannels, {2, 7, "C-4 | C#4 . B-7 == ~E-4 x . -", 61});
  EXPECT_EQ(At(p, 0, 2).note, 49);
  EXPECT_EQ(At(p, 0, 2).instrument, 7);
  EXPECT_EQ(At(p, 1, 2).note, 50);  // the bar line takes no row
  EXPECT_EQ(At(p, 2, 2).note, 0);
  EXPECT_EQ(At(p, 3, 2).note, 96);
  EXPECT_EQ(At(p, 4, 2).note, 97);
  EXPECT_EQ(At(p, 4, 2).instrument, 0);  // a key-off names no instrument
  EXPECT_EQ(At(p, 5, 2).note, 53);
  EXPECT_EQ(At(p, 5, 2).instrument, 0);  // "~": keep the running note's volume and envelopes
  EXPECT_EQ(At(p, 6, 2).note, 61);       // "x": the part's own note
  EXPECT_EQ(At(p, 6, 2).instrument, 7);
  EXPECT_EQ(At(p, 8, 2).note, 0);
  EXPECT_EQ(At(p, 8, 2).instrument, 0);
  EXPECT_EQ(At(p, 0, 1).note, 0) << "other channels untouched";
}

TEST(SongNotation, VolumeColumnAndEffectsEncodeAsTheFormatStoresThem) {
  xmw::Pattern p = Empty();
  Place(p, kChannels, {0, 1, "C-4/v40/A0F -/%-3 -/%+3 -/%d2 -/%u2 -/%s6 -/%v4 -/%p8 -/%l2 -/%r2 -/%m6 -/v0/G10 -/X12 -/E93 -/R2A -/T21"});
  const uint8_t volume[16] = {0x10 + 40, 0x63, 0x73, 0x82, 0x92, 0xA6, 0xB4, 0xC8, 0xD2, 0xE2, 0xF6, 0x10, 0, 0, 0, 0};
  const uint8_t effect[16] = {10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 33, 14, 27, 29};
  const uint8_t param[16] = {0x0F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0x12, 0x93, 0x2A, 0x21};
  for (int r = 0; r < 16; r++) {
    EXPECT_EQ(At(p, r, 0).volume, volume[r]) << "row " << r;
    EXPECT_EQ(At(p, r, 0).effect, effect[r]) << "row " << r;
    EXPECT_EQ(At(p, r, 0).param, param[r]) << "row " << r;
  }
}

TEST(SongNotation, PartsSharingAChannelMergeWhereTheyDoNotOverlap) {
  xmw::Pattern p = Empty();
  Place(p, kChannels, {3, 2, "C-4 . E-4"});
  Place(p, kChannels, {3, 0, "-/F06 . . -/E60"}, 0);
  Place(p, kChannels, {3, 2, "G-4"}, 8);
  EXPECT_EQ(At(p, 0, 3).note, 49);
  EXPECT_EQ(At(p, 0, 3).effect, 15);
  EXPECT_EQ(At(p, 0, 3).param, 6);
  EXPECT_EQ(At(p, 3, 3).param, 0x60);
  EXPECT_EQ(At(p, 8, 3).note, 56);
}

TEST(SongNotation, MistakesStopTheProgramInsteadOfWritingAWrongSong) {
  const auto place = [](const std::string& first, const std::string& second, int rows) {
    xmw::Pattern p = Empty(rows);
    Place(p, kChannels, {0, 1, first});
    Place(p, kChannels, {0, 1, second});
  };
  EXPECT_EXIT(place("C-4", "D-4", 4), ::testing::ExitedWithCode(2), "clash");
  EXPECT_EXIT(place("-/A01", "-/A02", 4), ::testing::ExitedWithCode(2), "clash");
  EXPECT_EXIT(place(". . . .", ". . . . .", 4), ::testing::ExitedWithCode(2), "last row");
  EXPECT_EXIT(place("H-4", "", 4), ::testing::ExitedWithCode(2), "bad note");
  EXPECT_EXIT(place("C-4/v65", "", 4), ::testing::ExitedWithCode(2), "volume");
  EXPECT_EXIT(place("-/037", "", 4), ::testing::ExitedWithCode(2), "arpeggio");
}

}  // namespace
}  // namespace song
