#include "Sha1.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define CAPTURE_SHA_EXTENSIONS 1
#endif

namespace capture {

namespace {

constexpr std::array<uint32_t, 5> kInitialState = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};

uint32_t Rotl(uint32_t v, int bits) { return (v << bits) | (v >> (32 - bits)); }

void CompressPortable(uint32_t* state, const uint8_t* data, size_t blocks) {
  for (; blocks > 0; --blocks, data += 64) {
    uint32_t w[80];
    for (int t = 0; t < 16; ++t)
      w[t] = uint32_t{data[4 * t]} << 24 | uint32_t{data[4 * t + 1]} << 16 | uint32_t{data[4 * t + 2]} << 8 |
             data[4 * t + 3];
    for (int t = 16; t < 80; ++t) w[t] = Rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int t = 0; t < 80; ++t) {
      uint32_t f, k;
      if (t < 20) f = (b & c) | (~b & d), k = 0x5A827999;
      else if (t < 40) f = b ^ c ^ d, k = 0x6ED9EBA1;
      else if (t < 60) f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
      else f = b ^ c ^ d, k = 0xCA62C1D6;
      const uint32_t next = Rotl(a, 5) + f + e + k + w[t];
      e = d;
      d = c;
      c = Rotl(b, 30);
      b = a;
      a = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
  }
}

#ifdef CAPTURE_SHA_EXTENSIONS
// Four rounds; the round function must be an immediate.
__attribute__((target("sha,sse4.1"))) __m128i FourRounds(__m128i abcd, __m128i e, int group) {
  switch (group / 5) {
    case 0: return _mm_sha1rnds4_epu32(abcd, e, 0);
    case 1: return _mm_sha1rnds4_epu32(abcd, e, 1);
    case 2: return _mm_sha1rnds4_epu32(abcd, e, 2);
    default: return _mm_sha1rnds4_epu32(abcd, e, 3);
  }
}

// A whole frame is 9,600 blocks: the processor's SHA instructions hash it several times faster.
__attribute__((target("sha,sse4.1"))) void CompressWithShaExtensions(uint32_t* state, const uint8_t* data,
                                                                       size_t blocks) {
  const __m128i bigEndian = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abcdBefore = abcd, eBefore = e;
    __m128i words[4];  // words[g % 4] holds the schedule's words 4g to 4g+3
    for (int i = 0; i < 4; ++i)
      words[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), bigEndian);
    __m128i previous = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, _mm_add_epi32(e, words[0]), 0);
#pragma GCC unroll 19
    for (int group = 1; group < 20; ++group) {
      if (group >= 4) {
        const __m128i mixed = _mm_xor_si128(_mm_sha1msg1_epu32(words[group % 4], words[(group + 1) % 4]),
                                            words[(group + 2) % 4]);
        words[group % 4] = _mm_sha1msg2_epu32(mixed, words[(group + 3) % 4]);
      }
      const __m128i next = _mm_sha1nexte_epu32(previous, words[group % 4]);
      previous = abcd;
      abcd = FourRounds(abcd, next, group);
    }
    e = _mm_sha1nexte_epu32(previous, eBefore);
    abcd = _mm_add_epi32(abcd, abcdBefore);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<uint32_t>(_mm_extract_epi32(e, 3));
}

bool HasShaExtensions() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSE4_1)) return false;
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_SHA);
}
#endif

}  // namespace

Sha1::Sha1(Engine engine) : portable_(engine == Engine::Portable) { Reset(); }

void Sha1::Compress(const uint8_t* data, size_t blocks) {
#ifdef CAPTURE_SHA_EXTENSIONS
  static const bool extensions = HasShaExtensions();
  if (extensions && !portable_) return CompressWithShaExtensions(state_.data(), data, blocks);
#endif
  CompressPortable(state_.data(), data, blocks);
}

void Sha1::Reset() {
  state_ = kInitialState;
  pendingBytes_ = 0;
  totalBytes_ = 0;
}

void Sha1::Update(const void* bytes, size_t size) {
  const auto* in = static_cast<const uint8_t*>(bytes);
  totalBytes_ += size;
  if (pendingBytes_ > 0) {
    const size_t take = std::min(size, pending_.size() - pendingBytes_);
    std::memcpy(pending_.data() + pendingBytes_, in, take);
    pendingBytes_ += take;
    in += take;
    size -= take;
    if (pendingBytes_ < pending_.size()) return;
    Compress(pending_.data(), 1);
    pendingBytes_ = 0;
  }
  Compress(in, size / 64);
  pendingBytes_ = size % 64;
  std::memcpy(pending_.data(), in + size - pendingBytes_, pendingBytes_);
}

Sha1::Digest Sha1::Final() {
  const uint64_t bits = totalBytes_ * 8;
  const uint8_t one = 0x80;
  Update(&one, 1);
  const uint8_t zero = 0;
  while (pendingBytes_ != 56) Update(&zero, 1);
  uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  Update(length, 8);
  Digest digest;
  for (int i = 0; i < 20; ++i) digest[i] = static_cast<uint8_t>(state_[i / 4] >> (24 - 8 * (i % 4)));
  Reset();
  return digest;
}

std::string Sha1::Hex(const Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t byte : digest) hex += {kDigits[byte >> 4], kDigits[byte & 15]};
  return hex;
}

std::string Sha1::HexOf(const void* bytes, size_t size) {
  Sha1 sha;
  sha.Update(bytes, size);
  return Hex(sha.Final());
}

}  // namespace capture
