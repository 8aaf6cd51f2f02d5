#include <gtest/gtest.h>

#include <cmath>

#include "player/Modinfo.h"

TEST(Formula, LinearPeriodAtTheEnds) {
  EXPECT_EQ(LinearPeriod(1, 0), 7616);
  EXPECT_EQ(LinearPeriod(96, -128), 1600);
  EXPECT_EQ(LinearPeriod(49, 0), 4544);
  EXPECT_EQ(LinearPeriod(1, -1), 7617);  // arithmetic shift rounds towards minus infinity
  EXPECT_EQ(LinearPeriod(1, 127), 7553);
}

TEST(Formula, LinearStepTableHoldsRoundedFrequencies) {
  EXPECT_EQ(linearStepTable[0], 504736ull << 16);
  EXPECT_EQ(linearStepTable[767], 252596ull << 16);
  for (int r = 0; r < 768; r++) {
    const double n = std::round(8363.0 * std::exp2((4543.0 - r) / 768.0));
    ASSERT_EQ(linearStepTable[r], static_cast<uint64_t>(n) << 16) << r;
    if (r > 0) {
      ASSERT_LT(linearStepTable[r], linearStepTable[r - 1]) << r;
    }
  }
}

TEST(Formula, LinearStep) {
  EXPECT_EQ(LinearStep(0, 44100), 750076);
  EXPECT_EQ(LinearStep(4544, 44100), 12416);  // note 49: 8355 Hz
  EXPECT_EQ(LinearStep(4544 + 768, 44100), 6208);  // one octave down halves the step
  EXPECT_EQ(LinearStep(0, 16), static_cast<int32_t>((504736ull << 16) / 16));
  // Quotients that do not fit, or that would read as negative, stop the voice.
  EXPECT_EQ(LinearStep(0, 7), 0);
  EXPECT_EQ(LinearStep(0, 8), 0);
  EXPECT_EQ(LinearStep(0, 0), 0);
  EXPECT_EQ(LinearStep(-1, 44100), 0);
  EXPECT_EQ(LinearStep(-768 * 5, 44100), 0);
}

TEST(LinearStep, PeriodsBeyondTheTableGoSilent) {
  // The last periods the table reaches keep their values; the pitch never rises again after.
  EXPECT_EQ(LinearStep(768 * 32 - 1, 8), static_cast<int32_t>((252596ull << 16 >> 31) / 8));
  for (int32_t rate : {8, 1000, 44100}) {
    SCOPED_TRACE(rate);
    // From one octave down every quotient fits, even at the lowest rate.
    int32_t previous = LinearStep(768, rate);
    for (int32_t period = 769; period < 768 * 40; period++) {
      const int32_t step = LinearStep(period, rate);
      ASSERT_LE(step, previous) << period;
      previous = step;
    }
    EXPECT_EQ(LinearStep(768 * 32, rate), 0);
    EXPECT_EQ(LinearStep(768 * 64, rate), 0);
    EXPECT_EQ(LinearStep(0x7fffffff, rate), 0);
  }
}

TEST(Formula, AmigaPeriod) {
  EXPECT_EQ(AmigaPeriod(49, 0), 1712);
  EXPECT_EQ(AmigaPeriod(49, -128), 1814);
  EXPECT_EQ(AmigaPeriod(49, 127), 1616);
  EXPECT_EQ(AmigaPeriod(1, 0), 27392);
  EXPECT_EQ(AmigaPeriod(0, -128), 16 * 1922);  // lowest table entry
  EXPECT_EQ(AmigaPeriod(96, 127), (16 * 1725 - 13 * 15) >> 8);
  EXPECT_EQ(AmigaPeriod(49, 8), (16 * 1712 - 12 * 8) >> 4);
  // Finetune is a signed byte; wider values are held at its ends instead of leaving the table.
  EXPECT_EQ(AmigaPeriod(49, 1000), AmigaPeriod(49, 127));
  EXPECT_EQ(AmigaPeriod(49, -1000), AmigaPeriod(49, -128));
}

TEST(Formula, AmigaStep) {
  EXPECT_EQ(AmigaStep(1712, 44100), 12428);
  EXPECT_EQ(AmigaStep(0, 44100), 0);
  EXPECT_EQ(AmigaStep(1712, 0), 0);
  EXPECT_EQ(AmigaStep(1712, 218), 0);  // first quotient does not fit 32 bits
  EXPECT_EQ(AmigaStep(1712, 219), static_cast<int32_t>(938308796416ull / 219 / 1712));
  EXPECT_EQ(AmigaStep(1, 219), 0);  // above 0x7FFFFFFF: stops rather than going negative
  EXPECT_EQ(AmigaStep(2, 44100), 10638421);
}

TEST(Formula, ChannelGainAtFullAndZero) {
  const int32_t v = 64 * 0x1FFFFFF;
  EXPECT_EQ(ChannelGain(v, 65535, 64, 0x7fffffff, 0x7fffffff, 255), 0x7EFFFFFF);
  EXPECT_EQ(ChannelGain(v, 65535, 64, 0x7fffffff, 0x7fffffff, 128), 0x3F7FFFFF);
  EXPECT_EQ(ChannelGain(32 * 0x1FFFFFF, 65535, 64, 0x7fffffff, 0x7fffffff, 128), 0x1F7FFFFF);
  EXPECT_EQ(ChannelGain(v, 0, 64, 0x7fffffff, 0x7fffffff, 255), 0);
  EXPECT_EQ(ChannelGain(v, 65535, 0, 0x7fffffff, 0x7fffffff, 255), 0);
  EXPECT_EQ(ChannelGain(v, 65535, 64, 0x7fffffff, 0, 255), 0);
  EXPECT_EQ(ChannelGain(0, 65535, 64, 0x7fffffff, 0x7fffffff, 255), 0);
  // A negative amplification inverts the phase (the shift floors, so it may be one lower).
  const int32_t inverted = ChannelGain(v, 65535, 64, -0x7fffffff, 0x7fffffff, 255);
  EXPECT_TRUE(inverted == -0x7EFFFFFF || inverted == -0x7F000000) << inverted;
}

TEST(Formula, FinalPanning) {
  EXPECT_EQ(FinalPanning(200, 48), 228);
  EXPECT_EQ(FinalPanning(255, 0), 254);
  EXPECT_EQ(FinalPanning(0, 64), 0);
  EXPECT_EQ(FinalPanning(128, 64), 255);
  EXPECT_EQ(FinalPanning(128, 0), 0);
  for (int p = 0; p < 256; p++) ASSERT_EQ(FinalPanning(p, 32), p);
  EXPECT_EQ(FinalPanning(100, 31), 96);  // floor of -100/32
}
