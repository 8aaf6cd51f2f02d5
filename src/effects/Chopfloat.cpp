#include "effects/Chopfloat.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace {

constexpr uint32_t kSign = 0x80000000u;
constexpr uint32_t kLargest = 0x7F7FFFFFu;     // what an overflow is cut to
constexpr uint32_t kBelowOne = 0x3F7FFFFFu;    // 1 - 2^-24
constexpr uint32_t kTinyExponent = 127 - 12;   // below 2^-12 sine and cosine are known exactly

uint32_t Bits(float x) { return chop::BitsOf(x); }
float FromBits(uint32_t bits) { return chop::FloatOf(bits); }

// An exact double, finite and not zero, outside the normal float range, cut toward zero.
float CutOutOfRange(double exact) {
  const uint64_t bits = chop::BitsOf(exact);
  const auto sign = static_cast<uint32_t>(bits >> 32) & kSign;
  const auto exponent = static_cast<int32_t>(bits >> 52 & 0x7FF);
  if (exponent > 896) return FromBits(sign | kLargest);
  // Subnormal: counted in units of 2^-149 from the 53-bit significand.
  const uint64_t significand = (bits & ((uint64_t{1} << 52) - 1)) | uint64_t{1} << 52;
  const int32_t shift = 926 - exponent;
  return FromBits(sign | (shift < 64 ? static_cast<uint32_t>(significand >> shift) : 0));
}

float NotANumber() { return std::numeric_limits<float>::quiet_NaN(); }

}  // namespace

namespace chop {

float MulSlow(float a, float b) {
  const double exact = static_cast<double>(a) * static_cast<double>(b);
  // Infinities and NaN come out of the double as they are; a zero is exact with its sign.
  if (exact != exact || exact == 0 || Exponent(a) == 0xFF || Exponent(b) == 0xFF) return static_cast<float>(exact);
  return CutOutOfRange(exact);
}

float AddSlow(float a, float b) {
  const uint32_t ea = Exponent(a), eb = Exponent(b);
  if (ea == 0xFF || eb == 0xFF) return static_cast<float>(static_cast<double>(a) + static_cast<double>(b));
  if (ea - eb + 28u <= 56u) {
    const double exact = static_cast<double>(a) + static_cast<double>(b);
    // The sign of a zero sum would follow the rounding mode; toward zero it is -0 only for -0 + -0.
    if (exact == 0) return FromBits(Bits(a) & Bits(b) & kSign);
    return CutOutOfRange(exact);
  }
  // Far apart: the smaller is below 1/32 of the larger's last unit, so the exact sum lies
  // strictly between the larger and its neighbour toward zero (or on the larger, the smaller being 0).
  const float larger = ea > eb ? a : b, smaller = ea > eb ? b : a;
  const bool opposite = ((Bits(larger) ^ Bits(smaller)) & kSign) != 0 && (Bits(smaller) & ~kSign) != 0;
  return FromBits(Bits(larger) - (opposite ? 1 : 0));
}

}  // namespace chop

// --- Sine and cosine in integers
//
// x = (k + f) pi/2 with |f| <= 1/2, found from enough bits of 2/pi for any float; then the series
// of sin and cos in 64-bit fixed point around r = f pi/2, with r kept normalised so that a result
// near zero keeps its precision. Its relative error, about 2^-59, is too small to carry any float's
// result across a float boundary (every float from 2^-12 up was checked against a far more precise
// reference), so the top 24 bits are the exact result cut toward zero.

namespace {

// 2/pi in binary, from 64 zero bits before the point on: the window for a float's exponent starts
// where the bits before it only add multiples of 4 (whole turns).
constexpr uint32_t kTwoOverPi[12] = {0,          0,          0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0,
                                     0xDB629599, 0x3C439041, 0xFE5163AB, 0xDEBBC561, 0xB7246E3A, 0x424DD2E0};
constexpr int kLimbs = 6;                            // a 192-bit window
constexpr uint64_t kQuarterPi = 0xC90FDAA22168C235;  // pi/4 in 0.64 fixed point, rounded

// 1/n! in 1.63 fixed point, rounded.
constexpr uint64_t InverseFactorial(int n) {
  uint64_t factorial = 1;
  for (int i = 2; i <= n; ++i) factorial *= static_cast<uint64_t>(i);
  return ((uint64_t{1} << 63) + factorial / 2) / factorial;
}

// Taylor series in z = r^2: sin r / r (1/(2k+1)!) and cos r (1/(2k)!). With |r| <= pi/4 the first
// term left out is below 2^-72.
constexpr int kSineTerms = 10, kCosineTerms = 11;
template <int kTerms>
constexpr std::array<uint64_t, kTerms> SeriesCoefficients(int odd) {
  std::array<uint64_t, kTerms> c{};
  for (int k = 0; k < kTerms; ++k) c[k] = InverseFactorial(2 * k + odd);
  return c;
}
constexpr auto kSine = SeriesCoefficients<kSineTerms>(1);
constexpr auto kCosine = SeriesCoefficients<kCosineTerms>(0);

struct Product128 {
  uint64_t high, low;
};

Product128 Multiply(uint64_t a, uint64_t b) {
  const uint64_t a0 = a & 0xFFFFFFFF, a1 = a >> 32, b0 = b & 0xFFFFFFFF, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const uint64_t middle = (p00 >> 32) + (p01 & 0xFFFFFFFF) + (p10 & 0xFFFFFFFF);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & 0xFFFFFFFF)};
}

uint64_t MulHigh(uint64_t a, uint64_t b) { return Multiply(a, b).high; }

// The 64 bits from a product's leading one; `lead`: the zero bits before it (0 or 1 here).
uint64_t Leading64(const Product128& p, int& lead) {
  lead = std::countl_zero(p.high);
  return lead ? p.high << lead | p.low >> (64 - lead) : p.high;
}

// Alternating series: every partial Horner value stays positive because z < 1 and the terms shrink.
template <size_t kTerms>
uint64_t Series(const std::array<uint64_t, kTerms>& c, uint64_t z) {
  uint64_t sum = c[kTerms - 1];
  for (size_t k = kTerms - 1; k-- > 0;) sum = c[k] - MulHigh(z, sum);
  return sum;
}

// A magnitude mantissa x 2^exponent (mantissa not zero), cut to a float that is known to be normal.
float Normalised(uint64_t mantissa, int32_t exponent, bool negative) {
  const int lead = std::countl_zero(mantissa);
  mantissa <<= lead;
  const auto biased = static_cast<uint32_t>(exponent - lead + 63 + 127);
  return FromBits((negative ? kSign : 0) | biased << 23 | static_cast<uint32_t>(mantissa >> 40 & 0x7FFFFF));
}

// r = mantissa x 2^-(64 + shift), mantissa with its top bit set, 0 < |r| <= pi/4.
struct Reduced {
  uint32_t quadrant;  // of the turn, mod 4
  bool negative;      // r below 0
  uint64_t mantissa;
  int32_t shift;
};

// |x| = significand x 2^exponent, |x| >= 2^-12 and finite.
Reduced Reduce(uint32_t significand, int32_t exponent) {
  const int32_t first = exponent + 62;  // the bit of 2/pi worth 2^1 once multiplied
  const int32_t word = first >> 5, bit = first & 31;
  uint32_t window[kLimbs];
  for (int j = 0; j < kLimbs; ++j)
    window[j] = kTwoOverPi[word + j] << bit | (bit ? kTwoOverPi[word + j + 1] >> (32 - bit) : 0);
  // |x| x 2/pi modulo 4: two bits of quadrant, then 190 bits of fraction.
  uint32_t product[kLimbs];
  uint64_t carry = 0;
  for (int j = kLimbs - 1; j >= 0; --j) {
    carry += static_cast<uint64_t>(significand) * window[j];
    product[j] = static_cast<uint32_t>(carry);
    carry >>= 32;
  }
  Reduced r{product[0] >> 30, false, 0, 0};
  product[0] &= 0x3FFFFFFF;
  if (product[0] & 0x20000000) {  // half a quadrant or more: r from the next quadrant, negative
    ++r.quadrant;
    r.negative = true;
    uint64_t borrow = 1;
    for (int j = kLimbs - 1; j >= 0; --j) {
      borrow += static_cast<uint32_t>(~product[j]);
      product[j] = static_cast<uint32_t>(borrow);
      borrow >>= 32;
    }
    product[0] &= 0x3FFFFFFF;
  }
  int j = 0;
  while (product[j] == 0) ++j;  // never all zero: no float is a multiple of pi/2
  const uint64_t top = uint64_t{product[j]} << 32 | (j + 1 < kLimbs ? product[j + 1] : 0);
  const uint64_t next = j + 2 < kLimbs ? product[j + 2] : 0;
  const int lead = std::countl_zero(top);
  const uint64_t fraction = lead ? top << lead | next >> (32 - lead) : top;
  // |f| = fraction x 2^-(64 + s); r = |f| pi/2 = (fraction x pi/4) x 2^-(63 + s).
  const int32_t s = 32 * j + lead - 2;
  int turnedLead;
  r.mantissa = Leading64(Multiply(fraction, kQuarterPi), turnedLead);
  r.shift = s - 1 + turnedLead;
  return r;
}

// sin(r + quadrant x pi/2), cut toward zero.
float SineOfQuadrant(const Reduced& r, bool negate) {
  const int32_t squareShift = 2 * r.shift;
  const uint64_t z = squareShift < 64 ? MulHigh(r.mantissa, r.mantissa) >> squareShift : 0;  // r^2, 0.64
  const bool negative = negate != ((r.quadrant & 2) != 0);
  if ((r.quadrant & 1) == 0) {
    int sineLead;  // r x 2^64 times sin r / r x 2^63
    const uint64_t sine = Leading64(Multiply(r.mantissa, Series(kSine, z)), sineLead);
    return Normalised(sine, -63 - r.shift - sineLead, negative != r.negative);
  }
  // cos r < 1 for r other than 0: a value rounded up to 1 still lies just below it.
  const uint64_t cosine = Series(kCosine, z);
  if (cosine >> 63) return FromBits((negative ? kSign : 0) | kBelowOne);
  return Normalised(cosine, -63, negative);
}

}  // namespace

float ChopSin(float x) {
  const uint32_t bits = Bits(x), exponent = bits >> 23 & 0xFF;
  if (exponent == 0xFF) return NotANumber();
  // sin x lies strictly between x and its neighbour toward zero: x^3/6 is below that gap.
  if (exponent < kTinyExponent) return (bits & ~kSign) ? FromBits(bits - 1) : x;
  const Reduced r = Reduce((bits & 0x7FFFFF) | 0x800000, static_cast<int32_t>(exponent) - 150);
  return SineOfQuadrant(r, (bits & kSign) != 0);
}

float ChopCos(float x) {
  const uint32_t bits = Bits(x), exponent = bits >> 23 & 0xFF;
  if (exponent == 0xFF) return NotANumber();
  // 1 - x^2/2 lies within the gap below 1.
  if (exponent < kTinyExponent) return FromBits((bits & ~kSign) ? kBelowOne : 0x3F800000u);
  Reduced r = Reduce((bits & 0x7FFFFF) | 0x800000, static_cast<int32_t>(exponent) - 150);
  ++r.quadrant;  // cos y = sin(y + pi/2)
  return SineOfQuadrant(r, false);
}
