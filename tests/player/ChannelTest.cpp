// Channel processing and effect commands, checked on the mixer voices after each tick.
#include <gtest/gtest.h>

#include "ReplayHarness.h"

using namespace replaytest;

namespace {

constexpr int32_t kC4 = 4544;  // linear period of note 49 (C-4)

int32_t Gain(int volume, int pan, int32_t globalVolume = 0x7fffffff, int fade = 65535,
             int envelope = 64) {
  return ChannelGain(volume * 0x1FFFFFF, fade, envelope, 0x7fffffff, globalVolume, pan);
}

TEST(Vibrato, FirstTickQuarterDepthLaterTicksFull) {
  SongBuilder b(2, 4, 6);
  b.At(0, 0) = Note(49, 1, 0, 0xE, 0x41);  // ramp waveform
  b.At(1, 0) = Fx(4, 0x84);
  b.At(0, 1) = Note(49);
  b.At(1, 1) = Fx(4, 0x84);  // waveform is the player's: ramp here too
  Harness h(b.song);
  h.Ticks(6);
  h.Tick();
  EXPECT_EQ(h.channel(0).vibratoOffset, 248 * 4 / 128);
  EXPECT_EQ(h.voice(0).step, LinearStep(kC4 + 7, 44100));
  h.Tick();
  EXPECT_EQ(h.channel(0).vibratoOffset, 184 * 4 / 32);
  EXPECT_EQ(h.voice(0).step, LinearStep(kC4 + 23, 44100));
  EXPECT_EQ(h.voice(1).step, h.voice(0).step);
}

TEST(Vibrato, SineStartsFlatAndItsLastStepHoldsUntilTheNextFrequencyRequest) {
  SongBuilder b(1, 4, 6);
  b.At(0, 0) = Note(49, 1, 0, 4, 0x84);
  b.At(2, 0) = Fx(1, 0);  // portamento with no memory: moves nothing but recomputes the step
  Harness h(b.song);
  h.Tick();
  EXPECT_EQ(h.voice(0).step, LinearStep(kC4, 44100));
  h.Tick();
  EXPECT_EQ(h.voice(0).step, LinearStep(kC4 + 180 * 4 / 32, 44100));
  h.Ticks(4);  // position 40: sine -180
  const int32_t last = LinearStep(kC4 - 180 * 4 / 32, 44100);
  EXPECT_EQ(h.voice(0).step, last);
  h.Ticks(6);
  EXPECT_EQ(h.voice(0).step, last);
  EXPECT_EQ(h.channel(0).period, kC4);
  h.Ticks(2);
  EXPECT_EQ(h.voice(0).step, LinearStep(kC4, 44100));
}

TEST(Vibrato, ParameterMemoryByteAndNibbles) {
  SongBuilder b(1, 4, 2);
  b.At(0, 0) = Note(49, 1, 0, 4, 0x40);
  b.At(1, 0) = Fx(0, 0, 0xA3);
  b.At(2, 0) = Fx(0, 0, 0xB5);
  Harness h(b.song);
  h.Ticks(2);
  EXPECT_EQ(h.channel(0).vibratoMemory, 0x40);  // speed 4, depth 0
  EXPECT_EQ(h.voice(0).step, LinearStep(kC4, 44100));
  h.Ticks(2);
  EXPECT_EQ(h.channel(0).vibratoMemory, 0x30);
  h.Ticks(1);
  EXPECT_EQ(h.channel(0).vibratoMemory, 0x35);
}

TEST(Tremolo, FirstTickUsesTheOldPositionLaterTicksAdvance) {
  SongBuilder b(1, 4, 6);
  b.At(0, 0) = Note(49, 1, 0x30, 7, 0x84);
  Harness h(b.song);
  h.Tick();
  EXPECT_EQ(h.channel(0).tremoloVolume, 32);
  EXPECT_EQ(h.voice(0).leftGain, Gain(32, 127));
  h.Tick();
  EXPECT_EQ(h.channel(0).tremoloVolume, 32 + 180 * 4 / 64);
  EXPECT_EQ(h.voice(0).leftGain, Gain(43, 127));
  EXPECT_EQ(h.channel(0).volume, 32);
}

TEST(TonePortamento, MemoryKeepsMovingAndStopsExactlyOnTarget) {
  SongBuilder b(1, 4, 6);
  b.At(0, 0) = Note(49);
  b.At(1, 0) = Note(51, 0, 0, 3, 0x05);
  b.At(2, 0) = Fx(3, 0);
  Harness h(b.song);
  h.Ticks(7);
  EXPECT_EQ(h.channel(0).targetPeriod, 4416);
  EXPECT_EQ(h.channel(0).period, kC4);  // a tone-portamento note does not jump
  h.Ticks(5);
  EXPECT_EQ(h.channel(0).period, kC4 - 100);
  h.Ticks(2);
  EXPECT_EQ(h.channel(0).period, 4424);
  h.Tick();
  EXPECT_EQ(h.channel(0).period, 4416);
  h.Ticks(3);
  EXPECT_EQ(h.channel(0).period, 4416);
  EXPECT_EQ(h.voice(0).step, LinearStep(4416, 44100));
}

TEST(VolumeSlide, HighNibbleWinsAndLimitsHold) {
  SongBuilder b(4, 2, 6);
  b.At(0, 0) = Note(49, 1, 0x40, 0xA, 0x0F);
  b.At(0, 1) = Note(49, 1, 0x20, 0xA, 0xF0);
  b.At(0, 2) = Note(49, 1, 0x20, 0xA, 0x11);
  b.At(0, 3) = Fx(0xA, 0x02);  // never had a note: its volume counts as 64
  Harness h(b.song);
  h.Ticks(2);
  EXPECT_EQ(h.channel(0).volume, 48 - 15);
  EXPECT_EQ(h.channel(1).volume, 16 + 15);
  EXPECT_EQ(h.channel(2).volume, 17);
  EXPECT_EQ(h.channel(3).volume, 62);
  h.Ticks(4);
  EXPECT_EQ(h.channel(0).volume, 0);
  EXPECT_EQ(h.channel(1).volume, 64);
  EXPECT_EQ(h.channel(2).volume, 21);
  EXPECT_EQ(h.voice(0).leftGain, 0);
}

TEST(GlobalVolume, SetAndSlideUpdateEveryVoiceAtOnce) {
  SongBuilder b(2, 4, 3);
  b.At(0, 0) = Note(49);
  b.At(0, 1) = Fx(16, 0x20);
  b.At(1, 1) = Fx(17, 0x11);
  b.At(2, 1) = Fx(16, 0x40);
  b.At(3, 1) = Fx(17, 0x10);
  Harness h(b.song);
  h.Tick();
  EXPECT_EQ(h.player.globalVolume, 32 * 0x1FFFFFF);
  EXPECT_EQ(h.voice(0).leftGain, Gain(64, 127, 32 * 0x1FFFFFF));  // channel 0 ran first
  h.Ticks(4);
  EXPECT_EQ(h.player.globalVolume, 32 * 0x1FFFFFF - 0x2000000);  // H11: low nibble wins
  h.Tick();
  EXPECT_EQ(h.player.globalVolume, 32 * 0x1FFFFFF - 2 * 0x2000000);
  h.Tick();
  EXPECT_EQ(h.player.globalVolume, 0x7FFFFFC0);  // G40 is a hair below full
  h.Ticks(4);
  EXPECT_EQ(h.player.globalVolume, 0x7fffffff);  // H10 stops at full
  EXPECT_EQ(h.voice(0).leftGain, Gain(64, 127));
}

TEST(GlobalVolume, AboveSixtyFourIsFull) {
  SongBuilder b(1, 2, 2);
  b.At(0, 0) = Fx(16, 0x10);
  b.At(1, 0) = Fx(16, 0x41);
  Harness h(b.song);
  h.Ticks(2);
  EXPECT_EQ(h.player.globalVolume, 16 * 0x1FFFFFF);
  h.Tick();
  EXPECT_EQ(h.player.globalVolume, 0x7fffffff);
}

TEST(Retrigger, MultiRetrigOnlyOnLaterMultiplesAndNeverWithoutInterval) {
  SongBuilder b(2, 2, 6);
  b.At(0, 0) = Note(49);
  b.At(1, 0) = Fx(27, 0x31);
  b.At(0, 1) = Note(49);
  b.At(1, 1) = Fx(27, 0x03);
  Harness h(b.song);
  h.Ticks(6);
  for (int t = 0; t < 6; t++) {
    h.Tick();
    if (t == 3)
      EXPECT_LE(h.Offset(0), 1) << "tick " << t;
    else
      EXPECT_GT(h.Offset(0), 100) << "tick " << t;
    EXPECT_GT(h.Offset(1), 100) << "tick " << t;
  }
  EXPECT_EQ(h.channel(0).volume, 63);
  EXPECT_EQ(h.channel(1).volume, 64);
}

TEST(Retrigger, SampleOffsetBeyondTheEndStartsAtTheBeginning) {
  SongBuilder b(2, 2, 6);
  b.At(0, 0) = Note(49, 1, 0, 9, 0x05);
  b.At(0, 1) = Note(49, 1, 0, 9, 0x10);  // 4096 frames into a 4000-frame sample
  Harness h(b.song);
  h.Tick();
  EXPECT_EQ(h.Offset(0), 1280);
  EXPECT_LE(h.Offset(1), 1);
}

TEST(Tremor, OnTwoOffOneCyclesWithinTheRow) {
  SongBuilder b(1, 2, 6);
  b.At(0, 0) = Note(49, 1, 0, 29, 0x21);
  Harness h(b.song);
  for (int t = 0; t < 6; t++) {
    h.Tick();
    const bool muted = t == 2 || t == 3;
    EXPECT_EQ(h.voice(0).leftGain == 0, muted) << "tick " << t;
  }
}

TEST(NoteDelay, OldNoteSoundsUntilTheDelayedOneStarts) {
  SongBuilder b(1, 2, 6);
  b.song.instruments.push_back(Instrument({LoopSample(3000, 40)}));
  b.At(0, 0) = Note(49);
  b.At(1, 0) = Note(49, 2, 0, 0xE, 0xD3);
  Harness h(b.song);
  h.Ticks(6);
  for (int t = 0; t < 3; t++) {
    h.Tick();
    EXPECT_EQ(h.voice(0).sampleStart, h.sample(0).data) << "tick " << t;
  }
  h.Tick();
  EXPECT_EQ(h.voice(0).sampleStart, h.sample(1).data);
  EXPECT_LE(h.Offset(0), 1);
}

TEST(NoteCut, CutsAtTheGivenTick) {
  SongBuilder b(2, 2, 6);
  b.At(0, 0) = Note(49, 1, 0, 0xE, 0xC0);
  b.At(0, 1) = Note(49, 1, 0, 0xE, 0xC2);
  Harness h(b.song);
  h.Tick();
  EXPECT_EQ(h.voice(0).playMode, 0);
  h.Tick();
  EXPECT_NE(h.voice(1).playMode, 0);
  h.Tick();
  EXPECT_EQ(h.voice(1).playMode, 0);
}

xmw::Instrument EnvelopeInstrument(std::vector<xmw::EnvelopePoint> points, uint8_t type,
                                   uint8_t sustain, uint8_t loopStart, uint8_t loopEnd,
                                   uint16_t fadeout) {
  xmw::Instrument ins = Instrument();
  ins.volumeEnvelope.points = std::move(points);
  ins.volumeEnvelope.type = type;
  ins.volumeEnvelope.sustain = sustain;
  ins.volumeEnvelope.loopStart = loopStart;
  ins.volumeEnvelope.loopEnd = loopEnd;
  ins.fadeout = fadeout;
  return ins;
}

TEST(KeyOff, WithoutEnvelopeStopsAtOnce) {
  SongBuilder b(1, 2, 2);
  b.At(0, 0) = Note(49);
  b.At(1, 0) = Note(97);
  Harness h(b.song);
  h.Ticks(2);
  EXPECT_NE(h.voice(0).playMode, 0);
  h.Tick();
  EXPECT_EQ(h.voice(0).playMode, 0);
}

TEST(KeyOff, ReleasesTheSustainAndFadesOut) {
  SongBuilder b(1, 8, 6);
  b.song.instruments[0] = EnvelopeInstrument({{0, 64}, {4, 32}, {8, 16}}, 3, 1, 0, 0, 4096);
  b.At(0, 0) = Note(49);
  b.At(2, 0) = Note(97);
  Harness h(b.song);
  h.Ticks(4);
  EXPECT_EQ(h.channel(0).volumeEnvelopeValue, 32);
  h.Ticks(8);
  EXPECT_EQ(h.channel(0).volumeEnvelopeValue, 32);  // held at the sustain point
  h.Tick();
  EXPECT_TRUE(h.channel(0).keyOff);
  EXPECT_EQ(h.channel(0).fadeoutVolume, 65535 - 4096);
  h.Ticks(3);
  EXPECT_EQ(h.channel(0).volumeEnvelopeValue, 16);
  EXPECT_NE(h.voice(0).playMode, 0);
  h.Ticks(12);
  EXPECT_EQ(h.voice(0).playMode, 0);  // 16 ticks of 4096 empty the fade
  EXPECT_EQ(h.channel(0).fadeoutVolume, 0);
}

TEST(KeyOff, WithoutFadeoutKeepsSoundingAtTheEnvelopeEnd) {
  SongBuilder b(1, 8, 6);
  b.song.instruments[0] = EnvelopeInstrument({{0, 64}, {4, 32}, {8, 16}}, 3, 1, 0, 0, 0);
  b.At(0, 0) = Note(49);
  b.At(1, 0) = Fx(20, 0);
  Harness h(b.song);
  h.Ticks(40);
  EXPECT_NE(h.voice(0).playMode, 0);
  EXPECT_EQ(h.channel(0).volumeEnvelopeValue, 16);
  EXPECT_EQ(h.voice(0).leftGain, Gain(64, 127, 0x7fffffff, 65535, 16));
}

TEST(VolumeEnvelope, LoopsUntilKeyOffThenRunsToItsLastPoint) {
  SongBuilder b(1, 8, 6);
  b.song.instruments[0] =
      EnvelopeInstrument({{0, 64}, {4, 32}, {8, 48}, {12, 10}}, 5, 0, 1, 2, 0);
  b.At(0, 0) = Note(49);
  b.At(3, 0) = Note(97);
  Harness h(b.song);
  std::vector<int> values;
  for (int t = 0; t < 18; t++) {
    h.Tick();
    values.push_back(h.channel(0).volumeEnvelopeValue);
  }
  EXPECT_EQ(values, (std::vector<int>{56, 48, 40, 32, 36, 40, 44, 48, 36, 40, 44, 48, 36, 40, 44,
                                      48, 36, 40}));
  h.Ticks(3);  // released at tick 18: the loop is no longer taken
  for (int t = 0; t < 8; t++) h.Tick();
  EXPECT_EQ(h.channel(0).volumeEnvelopeValue, 10);
}

TEST(PanningEnvelope, SwitchesItselfOffAtTheLastPointKeepingItsValue) {
  SongBuilder b(1, 4, 6);
  b.song.instruments[0].panningEnvelope.points = {{0, 32}, {2, 64}};
  b.song.instruments[0].panningEnvelope.type = 1;
  b.At(0, 0) = Note(49);
  Harness h(b.song);
  h.Tick();
  EXPECT_EQ(h.channel(0).panningEnvelopeValue, 48);
  h.Tick();
  EXPECT_EQ(h.channel(0).panningEnvelopeValue, 64);
  h.Ticks(2);
  EXPECT_EQ(h.channel(0).panningEnvelopeType, 0);
  EXPECT_EQ(h.channel(0).panningEnvelopeValue, 64);
  EXPECT_EQ(h.voice(0).leftGain, 0);  // FinalPanning(128, 64) is hard right
  EXPECT_EQ(h.voice(0).rightGain, Gain(64, 255));
}

TEST(InstrumentCell, SameInstrumentWithoutNoteRestoresVolumeButNotThePosition) {
  SongBuilder b(1, 4, 2);
  b.At(0, 0) = Note(49, 1, 0x20);
  b.At(2, 0) = Note(0, 1);
  Harness h(b.song);
  h.Ticks(4);
  EXPECT_EQ(h.channel(0).volume, 16);
  h.Tick();
  EXPECT_EQ(h.channel(0).volume, 64);
  EXPECT_GT(h.Offset(0), 500);
}

TEST(InstrumentCell, NumbersBeyondTheSongAreIgnored) {
  SongBuilder b(1, 4, 2);
  b.At(0, 0) = Note(49);
  b.At(1, 0) = Note(49, 5);
  Harness h(b.song);
  h.Ticks(3);
  EXPECT_EQ(h.channel(0).instrumentIndex, 0);
  EXPECT_EQ(h.voice(0).sampleStart, h.sample(0).data);
  EXPECT_NE(h.voice(0).playMode, 0);
}

TEST(InstrumentCell, FreshChannelWithoutNoteStaysSilentUntilANote) {
  SongBuilder b(1, 4, 2);
  b.At(0, 0) = Note(0, 1);
  b.At(1, 0) = Note(49, 0);
  Harness h(b.song);
  h.Tick();
  EXPECT_EQ(h.voice(0).playMode, 0);
  EXPECT_EQ(h.channel(0).sample, nullptr);
  h.Ticks(2);
  EXPECT_EQ(h.voice(0).playMode, 1);
  EXPECT_EQ(h.voice(0).step, LinearStep(kC4, 44100));
}

TEST(InstrumentCell, EmptyKeymapSampleFallsBackToTheFirstValidOne) {
  SongBuilder b(1, 2, 2);
  b.song.instruments[0] = Instrument({xmw::Sample{}, LoopSample()});
  b.At(0, 0) = Note(49);
  Harness h(b.song);
  h.Tick();
  EXPECT_EQ(h.channel(0).sample, &h.sample(0, 1));
  EXPECT_NE(h.voice(0).playMode, 0);
}

TEST(Period, BelowZeroPlaysAsPeriodZeroOnLinearAndStopsOnAmiga) {
  SongBuilder b(1, 2, 3);
  b.song.instruments[0].samples[0].relativeNote = 127;
  b.At(0, 0) = Note(96);
  Harness h(b.song);
  h.Tick();
  EXPECT_LT(h.channel(0).period, 0);
  EXPECT_EQ(h.voice(0).step, LinearStep(0, 44100));
  EXPECT_NE(h.voice(0).playMode, 0);

  SongBuilder a(1, 2, 3);
  a.song.linearFrequencies = false;
  a.At(0, 0) = Note(96, 1, 0, 1, 0xFF);
  Harness amiga(a.song);
  amiga.Tick();
  EXPECT_NE(amiga.voice(0).playMode, 0);
  amiga.Tick();
  EXPECT_LT(amiga.channel(0).period, 0);
  EXPECT_EQ(amiga.voice(0).playMode, 0);
}

}  // namespace

namespace {

TEST(PortamentoDown, SlidingPastTheLowestTablePitchFallsSilentInsteadOfWrappingHigh) {
  SongBuilder b(1, 4, 31);
  for (int row = 0; row < 4; row++) b.At(row, 0) = row ? Fx(2, 0xFF) : Note(1, 1, 0, 2, 0xFF);
  Harness h(b.song);
  ASSERT_TRUE(h.loaded());
  h.Tick();
  int32_t previous = h.voice(0).step;
  EXPECT_GT(previous, 0);
  bool beyond = false;
  for (int tick = 1; tick < 60; tick++) {
    h.Tick();
    SCOPED_TRACE(testing::Message() << "tick " << tick << " period " << h.channel(0).period);
    EXPECT_LE(h.voice(0).step, previous);
    previous = h.voice(0).step;
    if (h.channel(0).period >= 768 * 32) {
      beyond = true;
      EXPECT_EQ(h.voice(0).step, 0);
    }
  }
  ASSERT_TRUE(beyond);
  // A stopped voice holds one sample value: no waveform, let alone a squeal.
  h.Render(500);
  for (int f = 1; f < 500; f++) ASSERT_EQ(h.pcm[2 * f], h.pcm[0]) << f;
}

}  // namespace
