#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/Mixer.h"

namespace {

// Sample data with the three frames of slack the loader gives every buffer.
struct Pcm {
  std::vector<uint8_t> bytes;
  int frameBytes;
  const uint8_t* frame(int i) const { return bytes.data() + i * frameBytes; }
};

Pcm Pcm16(std::vector<int16_t> v, int channels = 1) {
  Pcm p{std::vector<uint8_t>((v.size() + 3 * channels) * 2), 2 * channels};
  std::memcpy(p.bytes.data(), v.data(), v.size() * 2);
  return p;
}

Pcm Pcm8(std::vector<int8_t> v, int channels = 1) {
  Pcm p{std::vector<uint8_t>(v.size() + 3 * channels), channels};
  std::memcpy(p.bytes.data(), v.data(), v.size());
  return p;
}

// 16-bit contribution of sample value v at gain g; 8-bit samples count 256 times as much.
int Contribution16(int64_t v, int64_t g) {
  return static_cast<int>((v * g) >> 32);
}

void Start(MixerVoice& v, const Pcm& pcm, int mode, int frames, int loopType = 0,
           int loopStart = 0, int loopEnd = 0) {
  v = MixerVoice{};
  v.playMode = mode;
  v.leftGain = 0x7FFFFFFF;
  v.rightGain = 0x7FFFFFFF;
  v.step = 0x10000;
  v.sampleStart = pcm.frame(0);
  v.position = pcm.frame(0);
  v.sampleEnd = pcm.frame(frames);
  v.loopType = loopType;
  v.loopStart = pcm.frame(loopStart);
  v.loopEnd = pcm.frame(loopEnd);
}

struct Output {
  std::vector<int16_t> samples;
  explicit Output(int frames) : samples(2 * frames, 0) {}
  int16_t L(int f) const { return samples[2 * f]; }
  int16_t R(int f) const { return samples[2 * f + 1]; }
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(samples.data()); }
};

Output Mix(SoftwareMixer& m, int frames, uint8_t clear = 1) {
  Output out(frames);
  uint8_t* cursor = out.bytes();
  m.mix(cursor, frames, clear);
  EXPECT_EQ(cursor, out.bytes() + 4 * frames);
  EXPECT_EQ(m.mixingVoice, -1);
  return out;
}

std::vector<int> Lefts(const Output& o) {
  std::vector<int> v;
  for (size_t f = 0; f < o.samples.size() / 2; f++) v.push_back(o.L(static_cast<int>(f)));
  return v;
}

}  // namespace

TEST(Mixer, ClearsAndAdvancesWhenAllVoicesAreSilent) {
  SoftwareMixer m(4);
  EXPECT_EQ(m.mixingVoice, -1);
  ASSERT_FALSE(m.setMode(MixModeStereoInterpolated));
  Output out(10);
  std::fill(out.samples.begin(), out.samples.end(), 1234);
  uint8_t* cursor = out.bytes();
  m.mix(cursor, 10, 1);
  EXPECT_EQ(cursor, out.bytes() + 40);
  for (int16_t s : out.samples) EXPECT_EQ(s, 0);
  // Without clearing the block is left as it was.
  std::fill(out.samples.begin(), out.samples.end(), 77);
  cursor = out.bytes();
  m.mix(cursor, 10, 0);
  for (int16_t s : out.samples) EXPECT_EQ(s, 77);
}

TEST(Mixer, SilentModeFillsOneByteAFrameWith0x80) {
  SoftwareMixer m(2);
  EXPECT_EQ(m.frameBytes, 1);
  EXPECT_EQ(static_cast<uint8_t>(m.fillByte), 0x80);
  Pcm pcm = Pcm16({1000, 1000, 1000, 1000});
  Start(m.voices[0], pcm, 3, 4);
  std::vector<uint8_t> out(8, 0x11);
  uint8_t* cursor = out.data();
  m.mix(cursor, 6, 1);
  EXPECT_EQ(cursor, out.data() + 6);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x11, 0x11}));
  EXPECT_EQ(m.voices[0].position, pcm.frame(0));  // no routine ran
}

TEST(Mixer, SetModeRefusals) {
  for (int mode : {6, 8}) {
    SoftwareMixer m(1);
    EXPECT_TRUE(m.setMode(mode));
    EXPECT_EQ(m.frameBytes, 1);
    EXPECT_EQ(m.fillByte, 0);
    std::vector<uint8_t> out(4, 0x55);
    uint8_t* cursor = out.data();
    m.mix(cursor, 4, 1);
    EXPECT_EQ(out, std::vector<uint8_t>(4, 0));
  }
  for (int mode : {21, -1}) {
    SoftwareMixer m(1);
    EXPECT_TRUE(m.setMode(mode));
    EXPECT_EQ(m.frameBytes, 1);
    EXPECT_EQ(static_cast<uint8_t>(m.fillByte), 0x80);
    ASSERT_FALSE(m.setMode(MixModeStereo));
    EXPECT_TRUE(m.setMode(21));
    EXPECT_EQ(m.frameBytes, 4);
    EXPECT_EQ(m.fillByte, 0);
  }
  SoftwareMixer m(1);
  EXPECT_FALSE(m.setMode(MixModeStereo));
  EXPECT_EQ(m.frameBytes, 4);
  EXPECT_FALSE(m.setMode(MixModeSilent));
  EXPECT_EQ(m.frameBytes, 1);
}

TEST(Mixer, FullGainAddsJustUnderHalf) {
  SoftwareMixer m(1);
  m.setMode(MixModeStereo);
  Pcm pcm = Pcm16({32767, 32767, 32767, 32767});
  Start(m.voices[0], pcm, 3, 4);
  m.voices[0].rightGain = 0;
  Output out = Mix(m, 3);
  for (int f = 0; f < 3; f++) {
    EXPECT_EQ(out.L(f), 16383);
    EXPECT_EQ(out.R(f), 0);
  }
}

TEST(Mixer, SaturatesAtEveryAdditionInVoiceOrder) {
  Pcm high = Pcm16({32767, 32767, 32767, 32767});
  Pcm low = Pcm16({-32768, -32768, -32768, -32768});
  for (int voices = 1; voices <= 3; voices++) {
    SCOPED_TRACE(voices);
    SoftwareMixer m(voices);
    m.setMode(MixModeStereo);
    for (int i = 0; i < voices; i++) Start(m.voices[i], high, 3, 4);
    const int expectedHigh[] = {16383, 32766, 32767};
    EXPECT_EQ(Mix(m, 2).L(1), expectedHigh[voices - 1]);
    for (int i = 0; i < voices; i++) Start(m.voices[i], low, 3, 4);
    const int expectedLow[] = {-16384, -32768, -32768};
    EXPECT_EQ(Mix(m, 2).L(1), expectedLow[voices - 1]);
  }
  // Clipping happens between voices, so the order of the voices decides the result.
  SoftwareMixer m(4);
  m.setMode(MixModeStereo);
  for (int i = 0; i < 3; i++) Start(m.voices[i], high, 3, 4);
  Start(m.voices[3], low, 3, 4);
  EXPECT_EQ(Mix(m, 1).L(0), 32767 - 16384);
  Start(m.voices[0], low, 3, 4);
  for (int i = 1; i < 4; i++) Start(m.voices[i], high, 3, 4);
  EXPECT_EQ(Mix(m, 1).L(0), -16384 + 3 * 16383);
}

TEST(Mixer, InterpolatesWithFlooredFractions) {
  SoftwareMixer m(1);
  m.setMode(MixModeStereoInterpolated);
  struct Case {
    int16_t s0, s1;
    int fraction;
    int value;
  } cases16[] = {{100, 200, 0x8000, 150},
                 {200, 100, 0x8000, 150},
                 {-1, 0, 0x8000, -1},
                 {0, -1, 0x8000, -1},
                 {-32768, 32767, 0xFFFF, 32766}};  // the product needs 33 bits
  for (const Case& c : cases16) {
    SCOPED_TRACE(c.s0);
    Pcm pcm = Pcm16({c.s0, c.s1});
    Start(m.voices[0], pcm, 3, 1);
    m.voices[0].fraction = c.fraction;
    m.voices[0].step = 1;
    m.voices[0].rightGain = -0x7FFFFFFF;
    Output out = Mix(m, 1);
    EXPECT_EQ(out.L(0), Contribution16(c.value, 0x7FFFFFFF));
    EXPECT_EQ(out.R(0), Contribution16(c.value, -0x7FFFFFFF));
  }
  // 8-bit at gain 2^24 contributes exactly the interpolated value.
  struct Case8 {
    int8_t s0, s1;
    int fraction;
    int value;
  } cases8[] = {{1, 2, 0xFFFF, 1}, {100, -100, 0x8000, 0}, {-1, 0, 0x8000, -1},
                {-128, 127, 0xFFFF, 126}};
  for (const Case8& c : cases8) {
    SCOPED_TRACE(c.s0);
    Pcm pcm = Pcm8({c.s0, c.s1});
    Start(m.voices[0], pcm, 1, 1);
    m.voices[0].fraction = c.fraction;
    m.voices[0].step = 1;
    m.voices[0].leftGain = m.voices[0].rightGain = 0x01000000;
    EXPECT_EQ(Mix(m, 1).L(0), c.value);
  }
  // Without interpolation the fraction is ignored.
  m.setMode(MixModeStereo);
  Pcm pcm = Pcm8({1, 2});
  Start(m.voices[0], pcm, 1, 1);
  m.voices[0].fraction = 0xFFFF;
  m.voices[0].leftGain = 0x01000000;
  EXPECT_EQ(Mix(m, 1).L(0), 1);
}

TEST(Mixer, StereoSourcesFeedEachSide) {
  SoftwareMixer m(1);
  m.setMode(MixModeStereo);
  Pcm p16 = Pcm16({1000, -2000, 3000, -4000}, 2);
  Pcm p8 = Pcm8({10, -20, 30, -40}, 2);
  Start(m.voices[0], p16, 7, 2);
  Output a = Mix(m, 2);
  EXPECT_EQ(std::vector<int>({a.L(0), a.R(0), a.L(1), a.R(1)}),
            std::vector<int>({Contribution16(1000, 0x7FFFFFFF), Contribution16(-2000, 0x7FFFFFFF),
                              Contribution16(3000, 0x7FFFFFFF), Contribution16(-4000, 0x7FFFFFFF)}));
  Start(m.voices[0], p8, 5, 2);
  m.voices[0].leftGain = m.voices[0].rightGain = 0x01000000;
  Output b = Mix(m, 2);
  EXPECT_EQ(std::vector<int>({b.L(0), b.R(0), b.L(1), b.R(1)}), std::vector<int>({10, -20, 30, -40}));
  // Backward from the last frame.
  Start(m.voices[0], p8, 6, 2);
  m.voices[0].position = p8.frame(1);
  m.voices[0].leftGain = m.voices[0].rightGain = 0x01000000;
  Output c = Mix(m, 2);
  EXPECT_EQ(std::vector<int>({c.L(0), c.R(0), c.L(1), c.R(1)}), std::vector<int>({30, -40, 0, 0}));
  EXPECT_EQ(m.voices[0].playMode, 0);
}

TEST(Mixer, ForwardLoopKeepsOnlyTheFractionOfTheOvershoot) {
  SoftwareMixer m(1);
  m.setMode(MixModeStereo);
  std::vector<int16_t> v;
  for (int i = 0; i < 8; i++) v.push_back(static_cast<int16_t>(1000 * (i + 1)));
  Pcm pcm = Pcm16(v);
  Start(m.voices[0], pcm, 3, 8, 1, 2, 6);
  m.voices[0].position = pcm.frame(5);
  m.voices[0].step = 0x28000;
  Output first = Mix(m, 1);
  EXPECT_EQ(first.L(0), Contribution16(6000, 0x7FFFFFFF));
  EXPECT_EQ(m.voices[0].position, pcm.frame(7));  // 1.5 frames past the loop end
  EXPECT_EQ(m.voices[0].fraction, 0x8000);
  Output second = Mix(m, 1);
  EXPECT_EQ(second.L(0), Contribution16(3000, 0x7FFFFFFF));  // loop start
  EXPECT_EQ(m.voices[0].position, pcm.frame(5));           // 2 + (0x8000 + 0x28000) >> 16
  EXPECT_EQ(m.voices[0].fraction, 0);
  EXPECT_EQ(m.voices[0].playMode, 3);
}

TEST(Mixer, PingPongTurnsAtBothEndsInOneBlock) {
  SoftwareMixer m(1);
  m.setMode(MixModeStereo);
  Pcm pcm = Pcm8({0, 10, 20, 30, 40, 50, 60});
  Start(m.voices[0], pcm, 1, 7, 2, 2, 5);
  m.voices[0].leftGain = m.voices[0].rightGain = 0x01000000;
  Output out = Mix(m, 14);
  EXPECT_EQ(Lefts(out),
            (std::vector<int>{0, 10, 20, 30, 40, 50, 40, 30, 20, 30, 40, 50, 40, 30}));
  EXPECT_EQ(m.voices[0].playMode, 2);
  EXPECT_EQ(m.voices[0].position, pcm.frame(2));
  // The next block starts backward again from the stored signedStep direction.
  Output next = Mix(m, 3);
  EXPECT_EQ(Lefts(next), (std::vector<int>{20, 30, 40}));
  EXPECT_EQ(m.voices[0].playMode, 1);
}

// Every routine of both tables, forward and backward, through two ping-pong turns over a ramp.
TEST(Mixer, AllSixteenRoutinesWalkTheSameRamp) {
  const std::vector<int> frames = {0, 1, 2, 3, 4, 5, 4, 3, 2, 3, 4, 5, 4, 3};
  for (int mode = 1; mode <= 7; mode += 2) {
    const bool wide = mode == 3 || mode == 7, stereo = mode >= 5;
    std::vector<int16_t> v16;
    std::vector<int8_t> v8;
    for (int i = 0; i < 7; i++) {
      for (int side = 0; side < (stereo ? 2 : 1); side++) {
        const int value = side ? -10 * i : 10 * i;
        v16.push_back(static_cast<int16_t>(256 * value));
        v8.push_back(static_cast<int8_t>(value));
      }
    }
    const Pcm pcm = wide ? Pcm16(v16, stereo ? 2 : 1) : Pcm8(v8, stereo ? 2 : 1);
    for (int table : {MixModeStereo, MixModeStereoInterpolated}) {
      for (int fraction : {0, 0x8000}) {
        SCOPED_TRACE(testing::Message() << "mode " << mode << " table " << table << " fraction "
                                        << fraction);
        SoftwareMixer m(1);
        m.setMode(table);
        Start(m.voices[0], pcm, mode, 7, 2, 2, 5);
        m.voices[0].fraction = fraction;
        m.voices[0].leftGain = m.voices[0].rightGain = 0x01000000;
        Output out = Mix(m, 14);
        const int half = table == MixModeStereoInterpolated && fraction ? 5 : 0;
        for (int f = 0; f < 14; f++) {
          EXPECT_EQ(out.L(f), 10 * frames[f] + half) << f;
          EXPECT_EQ(out.R(f), stereo ? -10 * frames[f] - half : 10 * frames[f] + half) << f;
        }
        EXPECT_EQ(m.voices[0].playMode, mode + 1);
      }
    }
  }
}

TEST(Mixer, VoiceWithoutLoopEndsMidBlockAndStaysSilent) {
  SoftwareMixer m(2);
  m.setMode(MixModeStereoInterpolated);
  Pcm pcm = Pcm8({10, 20, 30, 40});
  Start(m.voices[1], pcm, 1, 4);
  m.voices[1].leftGain = m.voices[1].rightGain = 0x01000000;
  Output out = Mix(m, 8);
  EXPECT_EQ(Lefts(out), (std::vector<int>{10, 20, 30, 40, 0, 0, 0, 0}));
  EXPECT_EQ(m.voices[1].playMode, 0);
  Output next = Mix(m, 4);
  EXPECT_EQ(Lefts(next), (std::vector<int>{0, 0, 0, 0}));
}

TEST(Mixer, LoopsThatCannotProgressDoNotSpin) {
  SoftwareMixer m(1);
  m.setMode(MixModeStereo);
  Pcm pcm = Pcm8({10, 20, 30, 40});
  struct Case {
    const char* what;
    int loopType, loopStart, loopEnd;
  } cases[] = {{"ping-pong of no length", 2, 2, 2},
               {"forward loop of no length", 1, 2, 2},
               {"unknown loop type", 5, 0, 2},
               {"loop start after loop end", 1, 3, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Start(m.voices[0], pcm, 1, 4, c.loopType, c.loopStart, c.loopEnd);
    m.voices[0].leftGain = m.voices[0].rightGain = 0x01000000;
    Output out = Mix(m, 6);
    EXPECT_EQ(Lefts(out), (std::vector<int>{10, 20, 0, 0, 0, 0}));
  }
}

TEST(Mixer, HugeStepsNeverRunBackwards) {
  SoftwareMixer m(1);
  m.setMode(MixModeStereoInterpolated);
  Pcm pcm = Pcm16({5, 6, 7, 8});
  Start(m.voices[0], pcm, 3, 4, 1, 0, 4);
  m.voices[0].step = 0x7FFFFFFF;
  m.voices[0].fraction = 0xFFFF;
  Mix(m, 16);
  EXPECT_GE(m.voices[0].position, pcm.frame(0));
  EXPECT_LE(m.voices[0].position, pcm.frame(4) + 0x8000 * 2);
  // Modes the mixer does not know are skipped.
  m.voices[0].playMode = 9;
  EXPECT_EQ(Lefts(Mix(m, 2)), (std::vector<int>{0, 0}));
}

TEST(Mixer, ResetVoicesSilencesEverything) {
  SoftwareMixer m(3);
  m.setMode(MixModeStereo);
  Pcm pcm = Pcm16({100, 100});
  for (int i = 0; i < 3; i++) Start(m.voices[i], pcm, 3, 2);
  m.resetVoices();
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(m.voices[i].playMode, 0);
    EXPECT_EQ(m.voices[i].position, nullptr);
  }
  EXPECT_EQ(Lefts(Mix(m, 2)), (std::vector<int>{0, 0}));
  SoftwareMixer none(0);
  none.setMode(MixModeStereo);
  EXPECT_EQ(none.voiceCount, 0);
  EXPECT_EQ(Lefts(Mix(none, 2)), (std::vector<int>{0, 0}));
}

namespace {

struct VoiceState {
  const uint8_t* position;
  int32_t fraction, playMode, signedStep;
  bool operator==(const VoiceState&) const = default;
};

VoiceState StateOf(const MixerVoice& v) {
  return {v.position, v.fraction, v.playMode, v.signedStep};
}

}  // namespace

// A voice with both gains at 0 takes a shortcut that only moves the position; it must leave
// the state a sounding voice leaves, across sample ends, forward loops and ping-pong turns,
// and must not touch the output.
TEST(MixerZeroGain, LeavesTheStateOfASoundingVoiceAndTheOutputAlone) {
  std::vector<int16_t> ramp;
  for (int i = 0; i < 64; i++) ramp.push_back(static_cast<int16_t>(i * 300 - 9000));
  for (int mode = 1; mode <= 8; mode++) {
    const bool wide = mode == 3 || mode == 4 || mode == 7 || mode == 8, stereo = mode >= 5;
    std::vector<int8_t> ramp8;
    for (int16_t s : ramp) ramp8.push_back(static_cast<int8_t>(s >> 8));
    const Pcm pcm = wide ? Pcm16(ramp, stereo ? 2 : 1) : Pcm8(ramp8, stereo ? 2 : 1);
    const int frames = static_cast<int>(ramp.size()) / (stereo ? 2 : 1);
    for (int table : {MixModeStereo, MixModeStereoInterpolated})
      for (int loopType : {0, 1, 2, 3})
        for (int32_t step : {0, 0x4000, 0x10000, 0x2C000, 0x7FFFFFFF})
          for (int block : {1, 7, 100}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " table " << table << " loop "
                                            << loopType << " step " << step << " block " << block);
            SoftwareMixer silent(1), sounding(1);
            silent.setMode(table);
            sounding.setMode(table);
            const int start = (mode & 1) ? 3 : frames - 4;
            for (SoftwareMixer* m : {&silent, &sounding}) {
              Start(m->voices[0], pcm, mode, frames, loopType, 5, frames - 9);
              m->voices[0].position = pcm.frame(start);
              m->voices[0].fraction = 0x9000;
              m->voices[0].step = step;
            }
            silent.voices[0].leftGain = silent.voices[0].rightGain = 0;
            sounding.voices[0].leftGain = 1;
            sounding.voices[0].rightGain = 0;
            for (int round = 0; round < 6; round++) {
              Output out(block);
              for (size_t i = 0; i < out.samples.size(); i++)
                out.samples[i] = static_cast<int16_t>(i * 77 - 3000);
              const std::vector<int16_t> before = out.samples;
              uint8_t* cursor = out.bytes();
              silent.mix(cursor, block, 0);
              Output ignored(block);
              cursor = ignored.bytes();
              sounding.mix(cursor, block, 0);
              ASSERT_EQ(StateOf(silent.voices[0]), StateOf(sounding.voices[0])) << "round " << round;
              ASSERT_EQ(out.samples, before);
            }
          }
  }
}

TEST(MixerZeroGain, WalksAForwardLoopAndBothPingPongTurnsLikeTheRamp) {
  SoftwareMixer m(1);
  m.setMode(MixModeStereoInterpolated);
  Pcm pcm = Pcm8({0, 10, 20, 30, 40, 50, 60});
  // Ping-pong 2..5 from frame 0: turns at 5 (to 2, backward) and at 2 (forward) within 14 frames.
  Start(m.voices[0], pcm, 1, 7, 2, 2, 5);
  m.voices[0].leftGain = m.voices[0].rightGain = 0;
  Mix(m, 14);
  EXPECT_EQ(m.voices[0].playMode, 2);
  EXPECT_EQ(m.voices[0].position, pcm.frame(2));
  EXPECT_EQ(m.voices[0].signedStep, -0x10000);
  // Forward loop 2..5 at one and a half frames a step: 0, 1.5, 3, 4.5, then 6 restarts at 2
  // (the whole-frame overshoot dropped), and the fifth frame moves on to 3.5.
  Start(m.voices[0], pcm, 1, 7, 1, 2, 5);
  m.voices[0].leftGain = m.voices[0].rightGain = 0;
  m.voices[0].step = 0x18000;
  Mix(m, 5);
  EXPECT_EQ(m.voices[0].position, pcm.frame(3));
  EXPECT_EQ(m.voices[0].fraction, 0x8000);
  EXPECT_EQ(m.voices[0].playMode, 1);
  // No loop: the voice ends at the sample end and stays silent.
  Start(m.voices[0], pcm, 1, 7);
  m.voices[0].leftGain = m.voices[0].rightGain = 0;
  Mix(m, 10);
  EXPECT_EQ(m.voices[0].playMode, 0);
  EXPECT_EQ(m.voices[0].position, pcm.frame(7));
}

namespace {

// Mixes `frames` one frame per call, which takes every boundary test frame by frame.
Output MixFrameByFrame(SoftwareMixer& m, Output out, int frames) {
  uint8_t* cursor = out.bytes();
  for (int f = 0; f < frames; f++) m.mix(cursor, 1, 0);
  return out;
}

}  // namespace

// Long blocks run without a boundary test up to a bound and mix 8-bit sources through a table;
// neither may change a sample or the state left behind. Lengths around the block size put the
// last frame of a stretch one frame before the limit, on it and just past it.
TEST(MixerLongBlocks, MatchFrameByFrameMixingAcrossBoundaries) {
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, static_cast<int>(seed >> 8); };
  std::vector<int16_t> noise16;
  std::vector<int8_t> noise8;
  for (int i = 0; i < 1400; i++) {
    noise16.push_back(static_cast<int16_t>(i % 97 == 0 ? -32768 : i % 89 == 0 ? 32767 : next()));
    noise8.push_back(static_cast<int8_t>(i % 97 == 0 ? -128 : i % 89 == 0 ? 127 : next()));
  }
  const int32_t gains[][2] = {{0x7FFFFFFF, INT32_MIN}, {0x12345678, -0x3456789}, {1, 0},
                              {-0x400000, 0x40000000}, {-0x7FFFFFFF, 0x7FFFFFFF}};
  for (int mode = 1; mode <= 8; mode++) {
    const bool wide = mode == 3 || mode == 4 || mode == 7 || mode == 8, stereo = mode >= 5;
    const int channels = stereo ? 2 : 1;
    const Pcm pcm = wide ? Pcm16(noise16, channels) : Pcm8(noise8, channels);
    const int frames = 1400 / channels;
    for (int table : {MixModeStereo, MixModeStereoInterpolated})
      for (int loopType : {0, 1, 2})
        for (int32_t step : {0x10000, 0xFFFF, 0x10001, 0x8000, 0x2C000, 0x123})
          for (int32_t fraction : {0, 0xFFFF, 0x9000})
            for (int length : {299, 300, 301}) {
              SCOPED_TRACE(testing::Message() << "mode " << mode << " table " << table << " loop "
                                              << loopType << " step " << step << " fraction "
                                              << fraction << " length " << length);
              const int g = (mode + loopType + length) % 5;
              // Starting at frame 0 (forward) or length (backward) at one frame a step, the
              // 300-frame block ends one frame before, on or past the limit.
              const int start = (mode & 1) ? 0 : frames - 1;
              const int loopStart = (mode & 1) ? 40 : frames - 1 - length;
              const int loopEnd = (mode & 1) ? length : frames - 1 - 30;
              SoftwareMixer block(2), single(2);
              for (SoftwareMixer* m : {&block, &single}) {
                m->setMode(table);
                for (int i = 0; i < 2; i++) {
                  MixerVoice& v = m->voices[i];
                  Start(v, pcm, mode, (mode & 1) ? length : frames, loopType, loopStart, loopEnd);
                  if (!(mode & 1)) v.sampleStart = pcm.frame(frames - 1 - length);
                  v.position = pcm.frame(start - (mode & 1 ? 0 : i));
                  v.fraction = fraction;
                  v.step = step + i * 0x3000;
                  v.leftGain = gains[(g + i) % 5][0];
                  v.rightGain = gains[(g + i) % 5][1];
                }
              }
              for (int round = 0; round < 3; round++) {
                const int n = round == 0 ? 300 : 1000;
                Output prefilled(n);
                for (size_t i = 0; i < prefilled.samples.size(); i++)
                  prefilled.samples[i] = static_cast<int16_t>(next());
                const Output expected = MixFrameByFrame(single, prefilled, n);
                Output got = prefilled;
                uint8_t* cursor = got.bytes();
                block.mix(cursor, n, 0);
                ASSERT_EQ(got.samples, expected.samples) << "round " << round;
                for (int i = 0; i < 2; i++)
                  ASSERT_EQ(StateOf(block.voices[i]), StateOf(single.voices[i]))
                      << "round " << round << " voice " << i;
              }
            }
  }
}
