// Voice mixer: one dedicated loop per source format, direction and interpolation.
//
// What the specialised loops rely on:
// - Unchecked stretches: SafeFrames bounds a stretch so that every frame it mixes starts strictly
//   before the voice's limit (the sample's end, or the loop's end or start), moving one way with
//   a fraction in 0..0xFFFF. Interpolation reads at most one frame beyond that, which lies in the
//   sample or in the three zero frames the loader puts after every sample. Stretches shorter
//   than 16 frames, and the frames next to the limit, go through the checked loop.
// - Saturating adds: a contribution is (sample x gain) >> 32, an 8-bit sample counting x 256, so
//   it is at most 16384 in size and fits a 16-bit lane whole. Lanes carry nothing into each
//   other, so two or four frames added in one saturating add give exactly what frame-by-frame
//   adds give, clamped after every voice.
// - The 8-bit table: a frame's contribution depends only on its (interpolated) sample value,
//   -128..127, so each stretch builds all 256 products once. The gain split into its high 24 and
//   low 8 bits gives exactly (sample x gain) >> 24 in 32-bit lanes.
#include "audio/Mixer.h"

#include <bit>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

inline int32_t Load8(uintptr_t p) { return *reinterpret_cast<const int8_t*>(p); }

inline int32_t Load16(uintptr_t p) {
  int16_t s;
  std::memcpy(&s, reinterpret_cast<const void*>(p), 2);
  return s;
}

inline int32_t Negate(int32_t x) { return static_cast<int32_t>(0u - static_cast<uint32_t>(x)); }

[[maybe_unused]] inline int32_t Saturate(int32_t x) {
  if (x > 32767) x = 32767;
  if (x < -32768) x = -32768;
  return x;
}

inline void AddFrame(uint8_t* out, int32_t left, int32_t right) {
#if defined(__SSE2__)
  int32_t frame;
  std::memcpy(&frame, out, 4);
  const int32_t add = static_cast<int32_t>((static_cast<uint32_t>(left) & 0xFFFF) |
                                           static_cast<uint32_t>(right) << 16);
  frame = _mm_cvtsi128_si32(_mm_adds_epi16(_mm_cvtsi32_si128(frame), _mm_cvtsi32_si128(add)));
  std::memcpy(out, &frame, 4);
#else
  int16_t f[2];
  std::memcpy(f, out, 4);
  f[0] = static_cast<int16_t>(Saturate(f[0] + left));
  f[1] = static_cast<int16_t>(Saturate(f[1] + right));
  std::memcpy(out, f, 4);
#endif
}

// Two consecutive frames in one saturating add: the lanes are independent, so this equals two
// AddFrame calls in order.
inline void AddFrames(uint8_t* out, int32_t l0, int32_t r0, int32_t l1, int32_t r1) {
#if defined(__SSE2__)
  const uint64_t add = (static_cast<uint64_t>(static_cast<uint32_t>(l0) & 0xFFFF)) |
                       (static_cast<uint64_t>(static_cast<uint32_t>(r0) & 0xFFFF) << 16) |
                       (static_cast<uint64_t>(static_cast<uint32_t>(l1) & 0xFFFF) << 32) |
                       (static_cast<uint64_t>(static_cast<uint32_t>(r1)) << 48);
  const __m128i frames = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(out));
  const __m128i sum = _mm_adds_epi16(frames, _mm_cvtsi64_si128(static_cast<int64_t>(add)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), sum);
#else
  AddFrame(out, l0, r0);
  AddFrame(out + 4, l1, r1);
#endif
}

// Scales one interpolated (or plain) source frame at pos by the gains.
// Narrow: the fraction is below 2^16, so an 8-bit difference times it fits 32 bits.
template <bool Wide, bool Stereo, bool Interpolate, bool Narrow>
inline void ScaleFrame(uintptr_t pos, int64_t fraction, int64_t leftGain, int64_t rightGain,
                       int32_t& left, int32_t& right) {
  constexpr int kSampleBytes = Wide ? 2 : 1;
  constexpr int kFrameBytes = kSampleBytes * (Stereo ? 2 : 1);
  constexpr int kGainShift = Wide ? 32 : 24;  // an 8-bit sample counts as sample x 256
  auto fetch = [](uintptr_t p) { return Wide ? Load16(p) : Load8(p); };
  auto lerp = [fraction](int32_t s0, int32_t s1) {
    if constexpr (Narrow && !Wide)
      return s0 + (((s1 - s0) * static_cast<int32_t>(fraction)) >> 16);
    else
      return s0 + static_cast<int32_t>((static_cast<int64_t>(s1 - s0) * fraction) >> 16);
  };
  int32_t l = fetch(pos);
  int32_t r = Stereo ? fetch(pos + kSampleBytes) : l;
  if constexpr (Interpolate) {
    l = lerp(l, fetch(pos + kFrameBytes));
    r = Stereo ? lerp(r, fetch(pos + kFrameBytes + kSampleBytes)) : l;
  }
  left = static_cast<int32_t>((l * leftGain) >> kGainShift);
  right = static_cast<int32_t>((r * rightGain) >> kGainShift);
}

template <bool Wide, bool Stereo, bool Interpolate, bool Narrow>
inline void MixFrame(uintptr_t pos, int64_t fraction, int64_t leftGain, int64_t rightGain,
                     uint8_t* out) {
  int32_t l, r;
  ScaleFrame<Wide, Stereo, Interpolate, Narrow>(pos, fraction, leftGain, rightGain, l, r);
  AddFrame(out, l, r);
}

// How many frames from pos (with the fraction in 0..0xFFFF, moving one way and strictly inside
// the range) stay short of limit: all of `frames`, or a lower bound found by a shift, since
// k * step < k << bit_width(step).
template <int kFrameBytes, bool Backward>
inline int SafeFrames(uintptr_t pos, uintptr_t limit, int64_t fraction, int64_t step,
                      int frames) {
  uint64_t distance = Backward ? pos - limit : limit - pos;
  const int64_t last = (fraction + (frames - 1) * step) >> 16;
  if (static_cast<uint64_t>(Backward ? -last : last) * kFrameBytes < distance) return frames;
  if (distance > (uint64_t{1} << 40)) distance = uint64_t{1} << 40;
  constexpr int kShift = kFrameBytes == 4 ? 2 : kFrameBytes == 2 ? 1 : 0;
  const int64_t lastIndex = static_cast<int64_t>((distance - 1) >> kShift);  // furthest safe
  const uint64_t magnitude = static_cast<uint64_t>(Backward ? -step : step);
  // Forward: fraction + k * step < (lastIndex + 1) << 16. Backward: k * -step <= (lastIndex << 16)
  // + fraction.
  const int64_t room = Backward ? (lastIndex << 16) + fraction : ((lastIndex + 1) << 16) - fraction - 1;
  const int64_t k = room >> std::bit_width(magnitude);
  return k + 1 < frames ? static_cast<int>(k + 1) : frames;
}

#if defined(__SSE2__)
// 8-bit sources: a frame's contribution depends only on the (interpolated) sample value, so a
// long stretch looks it up among all 256 products, packed as AddFrame packs them. The packing
// keeps the low 16 bits, which is what the SSE2 AddFrame adds.
template <bool Stereo, bool Interpolate>
inline void MixStretch8(uintptr_t& pos, int64_t& fraction, int64_t step, int64_t leftGain,
                        int64_t rightGain, uint8_t*& out, int n) {
  constexpr int kFrameBytes = Stereo ? 2 : 1;
  // (s * g) >> 24 == (s * (g >> 8) + ((s * (g & 255)) >> 8)) >> 16; with |s| <= 128 both parts
  // fit 32 bits, and stepping s by 4 makes each product one addition per lane.
  const int32_t leftHigh = static_cast<int32_t>(leftGain >> 8);
  const int32_t leftLow = static_cast<int32_t>(leftGain & 255);
  const int32_t rightHigh = static_cast<int32_t>(rightGain >> 8);
  const int32_t rightLow = static_cast<int32_t>(rightGain & 255);
  // Indexed by the sample's low byte: 0..127 first, then -128..-1.
  alignas(16) uint32_t table[256];
  auto fill = [&](uint32_t* entries, int32_t first) {
    auto lanes = [first](int32_t g) {
      return _mm_setr_epi32(first * g, (first + 1) * g, (first + 2) * g, (first + 3) * g);
    };
    __m128i lh = lanes(leftHigh), ll = lanes(leftLow), rh = lanes(rightHigh), rl = lanes(rightLow);
    const __m128i lhStep = _mm_set1_epi32(4 * leftHigh), llStep = _mm_set1_epi32(4 * leftLow);
    const __m128i rhStep = _mm_set1_epi32(4 * rightHigh), rlStep = _mm_set1_epi32(4 * rightLow);
    const __m128i low16 = _mm_set1_epi32(0xFFFF);
    for (int i = 0; i < 128; i += 4) {
      const __m128i left = _mm_srai_epi32(_mm_add_epi32(lh, _mm_srai_epi32(ll, 8)), 16);
      const __m128i right = _mm_srai_epi32(_mm_add_epi32(rh, _mm_srai_epi32(rl, 8)), 16);
      _mm_store_si128(reinterpret_cast<__m128i*>(entries + i),
                      _mm_or_si128(_mm_and_si128(left, low16), _mm_slli_epi32(right, 16)));
      lh = _mm_add_epi32(lh, lhStep);
      ll = _mm_add_epi32(ll, llStep);
      rh = _mm_add_epi32(rh, rhStep);
      rl = _mm_add_epi32(rl, rlStep);
    }
  };
  fill(table, 0);
  fill(table + 128, -128);
  const uintptr_t base = pos;
  const int8_t* const samples = reinterpret_cast<const int8_t*>(base);
  auto contribution = [&](int64_t acc) -> uint32_t {
    const int8_t* p = samples + (acc >> 16) * kFrameBytes;
    const int32_t f = static_cast<int32_t>(acc & 0xFFFF);
    int32_t l = p[0];
    int32_t r = Stereo ? p[1] : l;
    if constexpr (Interpolate) {
      l += ((p[kFrameBytes] - l) * f) >> 16;
      if constexpr (Stereo) r += ((p[kFrameBytes + 1] - r) * f) >> 16;
    }
    if constexpr (Stereo)
      return (table[static_cast<uint8_t>(l)] & 0xFFFF) | (table[static_cast<uint8_t>(r)] & 0xFFFF0000u);
    return table[static_cast<uint8_t>(l)];
  };
  int64_t acc = fraction;
  uint8_t* o = out;
  auto pair = [&](int64_t a) {
    return static_cast<int64_t>(static_cast<uint64_t>(contribution(a)) |
                                static_cast<uint64_t>(contribution(a + step)) << 32);
  };
  for (; n >= 4; n -= 4) {
    const __m128i add = _mm_unpacklo_epi64(_mm_cvtsi64_si128(pair(acc)),
                                           _mm_cvtsi64_si128(pair(acc + 2 * step)));
    acc += 4 * step;
    const __m128i frames = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_adds_epi16(frames, add));
    o += 16;
  }
  if (n >= 2) {
    const __m128i add = _mm_cvtsi64_si128(pair(acc));
    acc += 2 * step;
    const __m128i frames = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(o));
    n -= 2;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_adds_epi16(frames, add));
    o += 8;
  }
  if (n) {
    int32_t frame;
    std::memcpy(&frame, o, 4);
    frame = _mm_cvtsi128_si32(_mm_adds_epi16(
        _mm_cvtsi32_si128(frame), _mm_cvtsi32_si128(static_cast<int32_t>(contribution(acc)))));
    std::memcpy(o, &frame, 4);
    acc += step;
    o += 4;
  }
  pos = base + static_cast<uintptr_t>((acc >> 16) * kFrameBytes);
  fraction = acc & 0xFFFF;
  out = o;
}
#endif

// Mixes n frames with no boundary test; the position is one 16.16 accumulator over base.
template <bool Wide, bool Stereo, bool Interpolate>
inline void MixStretch(uintptr_t& pos, int64_t& fraction, int64_t step, int64_t leftGain,
                       int64_t rightGain, uint8_t*& out, int n) {
  constexpr int kFrameBytes = (Wide ? 2 : 1) * (Stereo ? 2 : 1);
#if defined(__SSE2__)
  // Building the table costs about as much as mixing a hundred frames directly.
  if constexpr (!Wide) {
    if (n >= 256) {
      MixStretch8<Stereo, Interpolate>(pos, fraction, step, leftGain, rightGain, out, n);
      return;
    }
  }
#endif
  const uintptr_t base = pos;
  int64_t acc = fraction;
  uint8_t* o = out;
  for (; n >= 2; n -= 2) {
    int32_t l0, r0, l1, r1;
    ScaleFrame<Wide, Stereo, Interpolate, true>(
        base + static_cast<uintptr_t>((acc >> 16) * kFrameBytes), acc & 0xFFFF, leftGain,
        rightGain, l0, r0);
    acc += step;
    ScaleFrame<Wide, Stereo, Interpolate, true>(
        base + static_cast<uintptr_t>((acc >> 16) * kFrameBytes), acc & 0xFFFF, leftGain,
        rightGain, l1, r1);
    acc += step;
    AddFrames(o, l0, r0, l1, r1);
    o += 8;
  }
  if (n) {
    MixFrame<Wide, Stereo, Interpolate, true>(
        base + static_cast<uintptr_t>((acc >> 16) * kFrameBytes), acc & 0xFFFF, leftGain,
        rightGain, o);
    acc += step;
    o += 4;
  }
  pos = base + static_cast<uintptr_t>((acc >> 16) * kFrameBytes);
  fraction = acc & 0xFFFF;
  out = o;
}

// Wide: 16-bit source; Stereo: two samples a source frame. Silent: both gains are 0, so every
// contribution is 0 and only the position moves.
template <bool Wide, bool Stereo, bool Backward, bool Interpolate, bool Silent, bool Narrow>
int MixRun(MixerVoice& v, uint8_t*& cursor, int frames) {
  constexpr int kSampleBytes = Wide ? 2 : 1;
  constexpr int kFrameBytes = kSampleBytes * (Stereo ? 2 : 1);
  constexpr int32_t kForwardMode = (Wide ? 3 : 1) + (Stereo ? 4 : 0);
  constexpr int32_t kOppositeMode = Backward ? kForwardMode : kForwardMode + 1;

  const uintptr_t limit = reinterpret_cast<uintptr_t>(
      v.loopType == 0 ? (Backward ? v.sampleStart : v.sampleEnd)
                      : (Backward ? v.loopStart : v.loopEnd));
  if (frames <= 0) return frames;

  uintptr_t pos = reinterpret_cast<uintptr_t>(v.position);
  int64_t fraction = v.fraction;
  const int64_t leftGain = v.leftGain;
  const int64_t rightGain = v.rightGain;
  uint8_t* out = cursor;

  for (;;) {
    // 64-bit step arithmetic: a step near 2^31 must not wrap into a backward jump.
    const int64_t step = v.signedStep;
    if constexpr (Silent) {
      // While the position moves one way from inside the range, the frame before the last
      // one of the run decides whether the boundary is met: if not, the run is one jump.
      const bool oneWay = (Backward ? step <= 0 : step >= 0) && fraction >= 0 && fraction <= 0xFFFF;
      if (oneWay && frames > 0 && (Backward ? pos > limit : pos < limit)) {
        const int64_t last = (fraction + (frames - 1) * step) >> 16;
        const uint64_t reach = static_cast<uint64_t>(Backward ? -last : last) * kFrameBytes;
        if (reach < (Backward ? pos - limit : limit - pos)) {
          const int64_t t = fraction + frames * step;
          pos += static_cast<uintptr_t>((t >> 16) * kFrameBytes);
          fraction = t & 0xFFFF;
          out += static_cast<size_t>(frames) * 4;
          frames = 0;
        }
      }
    }
    if constexpr (!Silent && Narrow) {
      // Unchecked stretches while they are long; the last few frames before the boundary go
      // through the checked loop below.
      while (frames > 0 && (Backward ? step <= 0 : step >= 0) &&
             (Backward ? pos > limit : pos < limit)) {
        const int n = SafeFrames<kFrameBytes, Backward>(pos, limit, fraction, step, frames);
        if (n < frames && n < 16) break;
        MixStretch<Wide, Stereo, Interpolate>(pos, fraction, step, leftGain, rightGain, out, n);
        frames -= n;
      }
    }
    uint8_t* const end = out + static_cast<size_t>(frames) * 4;
    while (out != end) {
      if (Backward ? pos <= limit : pos >= limit) break;
      if constexpr (!Silent)
        MixFrame<Wide, Stereo, Interpolate, Narrow>(pos, fraction, leftGain, rightGain, out);
      const int64_t t = fraction + step;
      pos += static_cast<uintptr_t>((t >> 16) * kFrameBytes);
      fraction = t & 0xFFFF;
      out += 4;
    }
    frames = static_cast<int>((end - out) >> 2);
    v.position = reinterpret_cast<const uint8_t*>(pos);
    v.fraction = static_cast<int32_t>(fraction);
    cursor = out;
    if (frames == 0) return 0;

    switch (v.loopType) {
      case 0:
        v.playMode = 0;
        return 0;
      case 1: {
        // The overshoot beyond the loop is dropped; the fraction is kept.
        const uint8_t* restart = Backward ? v.loopEnd : v.loopStart;
        pos = reinterpret_cast<uintptr_t>(restart);
        v.position = restart;
        // A loop of no length would restart for ever.
        if (Backward ? pos <= limit : pos >= limit) return 0;
        break;
      }
      case 2:
        v.position = Backward ? v.loopStart : v.loopEnd;
        v.signedStep = Negate(v.signedStep);
        v.playMode = kOppositeMode;
        return frames;
      default:
        return frames;
    }
  }
}

// The variant is picked per call: gains do not change while a voice is mixed.
template <bool Wide, bool Stereo, bool Backward, bool Interpolate>
int MixRoutineImpl(MixerVoice& v, uint8_t*& cursor, int frames) {
  if (v.leftGain == 0 && v.rightGain == 0)
    return MixRun<Wide, Stereo, Backward, Interpolate, true, false>(v, cursor, frames);
  // Only the engine's own fractions (below 2^16) may take the 32-bit interpolation.
  if (v.fraction >= 0 && v.fraction <= 0xFFFF)
    return MixRun<Wide, Stereo, Backward, Interpolate, false, true>(v, cursor, frames);
  return MixRun<Wide, Stereo, Backward, Interpolate, false, false>(v, cursor, frames);
}

int MixNothing(MixerVoice&, uint8_t*&, int) { return 0; }

template <bool Interpolate>
constexpr MixRoutine kTable[9] = {
    MixNothing,
    MixRoutineImpl<false, false, false, Interpolate>,
    MixRoutineImpl<false, false, true, Interpolate>,
    MixRoutineImpl<true, false, false, Interpolate>,
    MixRoutineImpl<true, false, true, Interpolate>,
    MixRoutineImpl<false, true, false, Interpolate>,
    MixRoutineImpl<false, true, true, Interpolate>,
    MixRoutineImpl<true, true, false, Interpolate>,
    MixRoutineImpl<true, true, true, Interpolate>,
};

constexpr MixRoutine kSilentTable[9] = {MixNothing, MixNothing, MixNothing,
                                        MixNothing, MixNothing, MixNothing,
                                        MixNothing, MixNothing, MixNothing};

}  // namespace

SoftwareMixer::SoftwareMixer(int count) {
  voiceCount = count > 0 ? count : 0;
  voices = voiceCount ? new (std::nothrow) MixerVoice[voiceCount] : nullptr;
  if (!voices) {
    voiceCount = 0;
  } else {
    resetVoices();
  }
  frameBytes = 1;
  fillByte = 0;
  setRoutines(kSilentTable);
  setMode(MixModeSilent);
  mixingVoice = -1;
}

SoftwareMixer::~SoftwareMixer() {
  delete[] voices;
  voices = nullptr;
  voiceCount = 0;
}

void SoftwareMixer::resetVoices() {
  if (voices) std::memset(voices, 0, sizeof(MixerVoice) * static_cast<size_t>(voiceCount));
}

bool SoftwareMixer::setMode(int mode) {
  if (mode < 0 || mode > 20) return true;
  fillByte = 0;
  switch (mode) {
    case MixModeSilent:
      frameBytes = 1;
      fillByte = static_cast<int8_t>(0x80);
      setRoutines(kSilentTable);
      return false;
    case MixModeStereo:
      frameBytes = 4;
      setRoutines(kTable<false>);
      return false;
    case MixModeStereoInterpolated:
      frameBytes = 4;
      setRoutines(kTable<true>);
      return false;
    default:
      return true;
  }
}

void SoftwareMixer::setRoutines(const MixRoutine* table) {
  for (int i = 0; i < 9; i++) routines[i] = table[i];
}

void SoftwareMixer::mix(uint8_t*& out, int frames, uint8_t clearFirst) {
  mixingVoice = -1;
  if (frames <= 0) return;
  if (clearFirst) {
    std::memset(out, static_cast<uint8_t>(fillByte), static_cast<size_t>(frames) * frameBytes);
  }
  for (int i = 0; i < voiceCount; i++) {
    mixingVoice = i;
    MixerVoice& v = voices[i];
    if (v.playMode == 0) continue;
    v.signedStep = (v.playMode & 1) ? v.step : Negate(v.step);
    uint8_t* cursor = out;
    int left = frames;
    int previousCount = 0;
    const uint8_t* previousCursor = nullptr;
    while (left > 0) {
      const uint32_t mode = static_cast<uint32_t>(v.playMode);
      if (mode > 8) break;  // not a mode this mixer knows: treat as silent
      left = routines[mode](v, cursor, left);
      if (left == previousCount || cursor == previousCursor) break;
      previousCount = left;
      previousCursor = cursor;
    }
  }
  mixingVoice = -2;
  out += static_cast<size_t>(frames) * frameBytes;
  mixingVoice = -1;
}
