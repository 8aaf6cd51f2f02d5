// The effects' arithmetic: products and sums as the hardware gives them when it rounds toward
// zero, sine and cosine as the exact value cut toward zero, and the same bits in any rounding mode.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "effects/Chopfloat.h"

namespace {

uint32_t Bits(float x) { return chop::BitsOf(x); }
float FromBits(uint32_t bits) { return chop::FloatOf(bits); }

// Equal bits; any NaN matches any NaN (their payloads are the hardware's own).
bool Same(float a, float b) { return Bits(a) == Bits(b) || (a != a && b != b); }

struct Random64 {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
  // Any sign and mantissa, the biased exponent (0: subnormal or zero) as given.
  float WithExponent(uint32_t exponent) {
    return FromBits((Below(2) ? 0x80000000u : 0) | exponent << 23 | static_cast<uint32_t>(Next() & 0x7FFFFF));
  }
};

class RoundingMode {
 public:
  explicit RoundingMode(int mode) { std::fesetround(mode); }
  ~RoundingMode() { std::fesetround(saved_); }
  RoundingMode(const RoundingMode&) = delete;
  RoundingMode& operator=(const RoundingMode&) = delete;

 private:
  const int saved_ = std::fegetround();
};

// Some targets accept the rounding mode and ignore it; there the hardware is no reference.
bool HardwareRoundsTowardZero() {
  RoundingMode towardZero(FE_TOWARDZERO);
  volatile float two = 2.0f, three = 3.0f;
  volatile float third = two / three;  // stored before the mode is restored
  return Bits(third) == 0x3F2AAAAAu;
}

const std::vector<float> kSpecial = {0.0f, -0.0f, 1.0f, -1.0f, std::numeric_limits<float>::max(),
                                     -std::numeric_limits<float>::max(), std::numeric_limits<float>::min(),
                                     std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::denorm_min(),
                                     std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                                     std::numeric_limits<float>::quiet_NaN(), 0x1.fffffcp-127f, 3.0f};

// The FPU set to round toward zero, where it honours the mode, is the reference; every pair of the
// special values comes first.
class AgainstTheHardware : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HardwareRoundsTowardZero()) GTEST_SKIP() << "the FPU here ignores the rounding mode";
    std::fesetround(FE_TOWARDZERO);
  }
  void TearDown() override { std::fesetround(saved_); }
  template <typename Check>
  static void SpecialPairs(Check check) {
    for (float a : kSpecial)
      for (float b : kSpecial) check(a, b);
  }

 private:
  const int saved_ = std::fegetround();
};

// Operands with exponents anywhere, so that results reach subnormals and overflow.
TEST_F(AgainstTheHardware, ProductsAreTheSame) {
  Random64 random{1};
  int misses = 0, subnormal = 0, overflow = 0;
  auto check = [&](float a, float b) {
    volatile float va = a, vb = b;
    volatile float hardware = va * vb;  // computed in the mode set here, not after it was restored
    misses += !Same(ChopMul(a, b), hardware);
    subnormal += hardware != 0 && std::fabs(hardware) < std::numeric_limits<float>::min();
    overflow += std::fabs(hardware) == std::numeric_limits<float>::max();
  };
  SpecialPairs(check);
  for (int n = 0; n < 1000000; ++n) check(random.WithExponent(random.Below(255)), random.WithExponent(random.Below(255)));
  EXPECT_EQ(misses, 0);
  EXPECT_GT(subnormal, 1000);
  EXPECT_GT(overflow, 10000);
}

// Exponent gaps around 28, where the exact double sum gives way to the neighbour rule, and sums
// that cancel.
TEST_F(AgainstTheHardware, SumsAndDifferencesAreTheSameForAnyGapAndWhenTheyCancel) {
  Random64 random{2};
  int misses = 0, zeros = 0, far = 0;
  auto check = [&](float a, float b) {
    volatile float va = a, vb = b;
    volatile float sum = va + vb, difference = va - vb;
    misses += !Same(ChopAdd(a, b), sum) + !Same(ChopSub(a, b), difference);
    zeros += sum == 0 || difference == 0;
  };
  SpecialPairs(check);
  for (int n = 0; n < 1000000; ++n) {
    const uint32_t larger = random.Below(255), gap = n % 2 ? 20 + random.Below(17) : random.Below(64);
    const uint32_t smaller = larger > gap ? larger - gap : 0;
    far += larger - smaller > 28;
    const float a = random.WithExponent(larger), b = random.WithExponent(smaller);
    check(a, b);
    check(b, a);
    check(a, FromBits((Bits(a) ^ 0x80000000u) ^ random.Below(16)));  // nearly -a
  }
  EXPECT_EQ(misses, 0);
  EXPECT_GT(zeros, 50000);
  EXPECT_GT(far, 400000);
}

// The value cut toward zero, from a double within a unit of it. The sine or cosine of a float other
// than 0 is never exactly 1: a double of 1 stands for a value just below.
float CutTowardZero(double nearlyExact) {
  if (std::fabs(nearlyExact) == 1.0) return std::copysign(0x1.fffffep-1f, static_cast<float>(nearlyExact));
  const float nearest = static_cast<float>(nearlyExact);
  return std::fabs(static_cast<double>(nearest)) > std::fabs(nearlyExact) ? std::nextafter(nearest, 0.0f) : nearest;
}

int SineMisses(float x) {
  return !Same(ChopSin(x), CutTowardZero(std::sin(static_cast<double>(x)))) +
         !Same(ChopCos(x), CutTowardZero(std::cos(static_cast<double>(x))));
}

TEST(ChopSineCosine, AreTheDoubleResultCutTowardZeroOverASample) {
  Random64 random{3};
  int misses = 0;
  for (int n = 0; n < 200000; ++n) misses += SineMisses(random.WithExponent(115 + random.Below(24)));  // 2^-12 to 2^12
  for (int n = 0; n < 20000; ++n) misses += SineMisses(random.WithExponent(115 + random.Below(140)));  // to the largest
  EXPECT_EQ(misses, 0);
}

// Where the reduction changes quadrant or folds into the next one, where the answer is near 0
// or 1, and around 2^-12, below which the answer is known without a series.
TEST(ChopSineCosine, AreTheDoubleResultCutTowardZeroAtTheEdgesOfTheReduction) {
  int misses = 0;
  for (int k = 1; k <= 20000; ++k) {
    const float near = static_cast<float>(k * 0.78539816339744830962);  // k pi/4
    uint32_t bits = Bits(near) - 3;
    for (int step = 0; step < 7; ++step, ++bits) misses += SineMisses(FromBits(bits)) + SineMisses(-FromBits(bits));
  }
  for (uint32_t bits = Bits(0x1p-12f) - 1000; bits < Bits(0x1p-12f) + 1000; ++bits) misses += SineMisses(FromBits(bits));
  for (float x : {0x1p100f, std::numeric_limits<float>::max(), 0x1.921fb6p+0f, 0x1.921fb6p+100f})
    misses += SineMisses(x) + SineMisses(-x);
  EXPECT_EQ(misses, 0);
  // The floats closest to a multiple of pi/2 below 2^12, checked in quadruple precision.
  EXPECT_EQ(ChopSin(0x1.f9cbe2p+8f), -0x1.1fa3bap-27f);
  EXPECT_EQ(ChopCos(0x1.f9cbe2p+8f), -0x1.fffffep-1f);
  EXPECT_EQ(ChopCos(0x1.f9cbe2p+7f), -0x1.1fa3bap-28f);
  EXPECT_EQ(ChopSin(0x1.f9cbe2p+7f), 0x1.fffffep-1f);
}

TEST(ChopSineCosine, BelowTwoToTheMinusTwelveGiveTheNeighbourTowardZeroAndJustBelowOne) {
  for (float x : {0x1.fffffep-13f, 0x1p-40f, 0x1p-126f, 0x1p-149f, -0x1.234p-20f}) {
    EXPECT_EQ(Bits(ChopSin(x)), Bits(x) - 1) << x;
    EXPECT_EQ(ChopCos(x), 0x1.fffffep-1f) << x;
  }
  EXPECT_EQ(Bits(ChopSin(0.0f)), 0u);
  EXPECT_EQ(Bits(ChopSin(-0.0f)), 0x80000000u);
  EXPECT_EQ(ChopCos(-0.0f), 1.0f);
  for (float x : {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                  std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_TRUE(std::isnan(ChopSin(x)));
    EXPECT_TRUE(std::isnan(ChopCos(x)));
  }
}

// A fixed sequence of every operation, its results folded into one number.
uint64_t Digest() {
  Random64 random{4};
  uint64_t digest = 14695981039346656037ull;
  auto fold = [&](float x) { digest = (digest ^ Bits(x)) * 1099511628211ull; };
  for (int n = 0; n < 20000; ++n) {
    const float a = random.WithExponent(100 + random.Below(60)), b = random.WithExponent(100 + random.Below(60));
    fold(ChopMul(a, b));
    fold(ChopAdd(a, b));
    fold(ChopSub(a, b));
    fold(ChopSub(a, a));  // the sign of a zero sum follows the mode in hardware
    fold(ChopSin(a));
    fold(ChopCos(b));
  }
  return digest;
}

TEST(Chopfloat, GivesTheSameBitsInEveryRoundingModeAndOnEveryTarget) {
  for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    RoundingMode set(mode);
    EXPECT_EQ(Digest(), 13035885455580708857u) << "mode " << mode;
  }
}

}  // namespace
