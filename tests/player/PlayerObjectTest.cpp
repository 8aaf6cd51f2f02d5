#include <gtest/gtest.h>

#include <climits>

#include "XmImage.h"
#include "player/Modinfo.h"
#include "player/Xmplayer.h"

TEST(PlayerObject, StartsEmptyWithDefaults) {
  XMMusicPlayer p;
  EXPECT_EQ(p.memoryUsed, static_cast<int>(sizeof(XMMusicPlayer)));
  EXPECT_EQ(p.channelCount, 0);
  EXPECT_EQ(p.songLength, 0);
  EXPECT_EQ(p.looping, 1);
  EXPECT_EQ(p.leftAmplification, 0x7fffffff);
  EXPECT_EQ(p.rightAmplification, 0x7fffffff);
  EXPECT_EQ(p.globalVolume, 0x7fffffff);
  EXPECT_EQ(p.bpm, 125);
  EXPECT_EQ(p.speed, 6);
  EXPECT_EQ(p.patternRows, 64);
  EXPECT_EQ(p.nextOrder, 1);
  EXPECT_EQ(p.mixRate, 11025);
  EXPECT_EQ(p.samplesPerTick, 11025 * 5 / 250);
  EXPECT_EQ(p.periodFunction, &AmigaPeriod);
  EXPECT_EQ(p.stepFunction, &AmigaStep);
  EXPECT_EQ(p.resetVoicesPending, 1);
  EXPECT_EQ(p.vibratoTable, waveformTables[0]);
  EXPECT_EQ(p.patternBlock, nullptr);
  for (InstrumentRecord* slot : p.instruments) EXPECT_EQ(slot, nullptr);
}

TEST(PlayerObject, TickLength) {
  XMMusicPlayer p;
  p.SetMixRate(44100);
  p.bpm = 130;
  p.UpdateTickLength();
  EXPECT_EQ(p.samplesPerTick, 848);
  p.bpm = 125;
  p.UpdateTickLength();
  EXPECT_EQ(p.samplesPerTick, 882);
  p.bpm = 0;
  p.UpdateTickLength();
  EXPECT_EQ(p.bpm, 1);
  EXPECT_EQ(p.samplesPerTick, 110250);
  // Never below one frame, and no 32-bit overflow of rate x 5.
  p.bpm = 255;
  p.SetMixRate(1);
  EXPECT_EQ(p.samplesPerTick, 1);
  p.bpm = 125;
  p.SetMixRate(1000000000);
  EXPECT_EQ(p.samplesPerTick, 20000000);
  p.bpm = 1;
  p.SetMixRate(INT_MAX);
  EXPECT_EQ(p.samplesPerTick, INT_MAX);
}

TEST(PlayerObject, AmplificationInvertsOnlyTheLeftPhase) {
  XMMusicPlayer p;
  p.volumeRefresh = 0;
  p.SetAmplification(-5);
  EXPECT_EQ(p.leftAmplification, -5);
  EXPECT_EQ(p.rightAmplification, 5);
  EXPECT_EQ(p.volumeRefresh, 1);
  p.SetAmplification(INT_MIN);
  EXPECT_EQ(p.leftAmplification, -INT_MAX);
  EXPECT_EQ(p.rightAmplification, INT_MAX);
  p.SetLooping(false);
  EXPECT_EQ(p.looping, 0);
}

TEST(PlayerObject, NullPlayerHasNoSong) {
  NullMusicPlayer p;
  const std::vector<uint8_t> img = xmw::WriteXm(xmtest::EmptySong());
  SongInfo* info = reinterpret_cast<SongInfo*>(&p);
  EXPECT_TRUE(p.LoadMemory(img.data(), static_cast<int>(img.size()), &info));
  EXPECT_EQ(info, nullptr);
  info = reinterpret_cast<SongInfo*>(&p);
  EXPECT_TRUE(p.LoadFile("anything.xm", &info));
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(p.memoryUsed, static_cast<int>(sizeof(NullMusicPlayer)));
  p.initialBpm = 140;
  p.SetPosition(5, 70);
  EXPECT_EQ(p.order, 0);
  EXPECT_EQ(p.row, 63);
  EXPECT_EQ(p.nextOrder, 1);
  EXPECT_EQ(p.bpm, 140);
}

TEST(PlayerObject, ReloadReplacesTheSong) {
  XMMusicPlayer p;
  xmw::Song a = xmtest::EmptySong(4, 1);
  a.instruments.push_back(xmtest::InstrumentOf({xmtest::Sample8({1, 2, 3})}));
  const std::vector<uint8_t> first = xmw::WriteXm(a);
  const std::vector<uint8_t> second = xmw::WriteXm(xmtest::EmptySong(8, 2));
  ASSERT_FALSE(p.LoadMemory(first.data(), static_cast<int>(first.size()), nullptr));
  ASSERT_NE(p.instruments[0], nullptr);
  ASSERT_FALSE(p.LoadMemory(second.data(), static_cast<int>(second.size()), nullptr));
  EXPECT_EQ(p.instruments[0], nullptr);
  EXPECT_EQ(p.channelCount, 8);
  EXPECT_EQ(p.memoryUsed, static_cast<int>(sizeof(XMMusicPlayer) + 2 * 4 * 8 * 5));
  // A failed load leaves an empty player, not the previous song or half of the new one.
  std::vector<uint8_t> broken = first;
  broken.resize(broken.size() - 45);  // into the sample header
  EXPECT_TRUE(p.LoadMemory(broken.data(), static_cast<int>(broken.size()), nullptr));
  EXPECT_EQ(p.songLength, 0);
  EXPECT_EQ(p.patternBlock, nullptr);
  EXPECT_EQ(p.instruments[0], nullptr);
  EXPECT_EQ(p.memoryUsed, static_cast<int>(sizeof(XMMusicPlayer)));
}
