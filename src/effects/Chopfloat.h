// The effects' single-precision arithmetic, rounded toward zero ("chopped") by construction.
//
// Every result is the exact result cut toward zero to a float, whatever the FPU's rounding mode or
// precision, the compiler or the C library: the frames hang on nothing the target decides, and one
// set of frames holds for every build. The fast paths are inline; they work on doubles only where
// those are exact (a product of two floats, a sum of two floats whose exponents are close) and cut
// with an integer mask, which no rounding mode touches.
#pragma once
#include <cstdint>
#include <cstring>

float ChopSin(float x);  // radians
float ChopCos(float x);

namespace chop {

// Through memcpy: not every target's library has std::bit_cast yet.
inline uint64_t BitsOf(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}
inline uint32_t BitsOf(float x) {
  uint32_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}
inline float FloatOf(uint32_t bits) {
  float x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// Doubles holding a float's exact result; the normal float range is the fast path.
inline bool InFloatRange(uint64_t bits) { return (bits >> 52 & 0x7FF) - 897u < 254u; }
// Drops the 29 bits a float has no room for and re-biases the exponent.
inline float Cut(uint64_t bits) {
  const auto sign = static_cast<uint32_t>(bits >> 32 & 0x80000000u);
  const auto magnitude = static_cast<uint32_t>((bits >> 29 & 0x3FFFFFFFFull) - (uint64_t{896} << 23));
  return FloatOf(sign | magnitude);
}
inline uint32_t Exponent(float x) { return BitsOf(x) >> 23 & 0xFF; }

// Zero, subnormal, overflowing and infinite or NaN results, and sums of far-apart operands.
float MulSlow(float a, float b);
float AddSlow(float a, float b);

}  // namespace chop

inline float ChopMul(float a, float b) {
  const uint64_t exact = chop::BitsOf(static_cast<double>(a) * static_cast<double>(b));  // 48 bits
  return chop::InFloatRange(exact) ? chop::Cut(exact) : chop::MulSlow(a, b);
}

inline float ChopAdd(float a, float b) {
  // Exponents within 28 of each other: the sum needs at most 53 bits, so the double is exact.
  if (chop::Exponent(a) - chop::Exponent(b) + 28u <= 56u) {
    const uint64_t exact = chop::BitsOf(static_cast<double>(a) + static_cast<double>(b));
    if (chop::InFloatRange(exact)) return chop::Cut(exact);
  }
  return chop::AddSlow(a, b);
}

inline float ChopSub(float a, float b) { return ChopAdd(a, chop::FloatOf(chop::BitsOf(b) ^ 0x80000000u)); }
