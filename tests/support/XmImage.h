// Test helper: small XM songs from a readable description, and the offsets needed to damage
// their bytes afterwards.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "XmWriter.h"

namespace xmtest {

// A song with `patterns` empty 4-row patterns, orders 0..n-1, no instruments.
inline xmw::Song EmptySong(int channels = 2, int patterns = 1) {
  xmw::Song song;
  song.name = "test song";
  song.channels = channels;
  for (int p = 0; p < patterns; p++) {
    xmw::Pattern pat;
    pat.rows = 4;
    song.patterns.push_back(pat);
    song.orders.push_back(static_cast<uint8_t>(p));
  }
  return song;
}

inline xmw::Sample Sample8(std::initializer_list<int16_t> pcm, uint8_t loopType = 0,
                           uint32_t loopStart = 0, uint32_t loopLength = 0) {
  xmw::Sample s;
  s.pcm = pcm;
  s.loopType = loopType;
  s.loopStart = loopStart;
  s.loopLength = loopLength;
  return s;
}

inline xmw::Sample Sample16(std::initializer_list<int16_t> pcm) {
  xmw::Sample s = Sample8(pcm);
  s.sixteenBit = true;
  return s;
}

inline xmw::Instrument InstrumentOf(std::vector<xmw::Sample> samples) {
  xmw::Instrument ins;
  ins.name = "instrument";
  ins.samples = std::move(samples);
  return ins;
}

// A song with one instrument holding the given samples.
inline std::vector<uint8_t> SongWith(std::vector<xmw::Sample> samples) {
  xmw::Song song = EmptySong();
  song.instruments.push_back(InstrumentOf(std::move(samples)));
  return xmw::WriteXm(song);
}

inline uint32_t Get16(const std::vector<uint8_t>& img, size_t at) {
  return img[at] | img[at + 1] << 8;
}
inline uint32_t Get32(const std::vector<uint8_t>& img, size_t at) {
  return Get16(img, at) | Get16(img, at + 2) << 16;
}
inline void Put16(std::vector<uint8_t>& img, size_t at, uint32_t v) {
  img[at] = v & 0xFF;
  img[at + 1] = (v >> 8) & 0xFF;
}
inline void Put32(std::vector<uint8_t>& img, size_t at, uint32_t v) {
  Put16(img, at, v & 0xFFFF);
  Put16(img, at + 2, v >> 16);
}

// Offsets inside a well-formed image (as written by WriteXm).
inline size_t PatternHeader(const std::vector<uint8_t>& img, int pattern) {
  size_t at = 60 + Get32(img, 60);
  for (int p = 0; p < pattern; p++) at += Get32(img, at) + Get16(img, at + 7);
  return at;
}

inline size_t InstrumentHeader(const std::vector<uint8_t>& img, int instrument) {
  size_t at = PatternHeader(img, Get16(img, 70));
  for (int i = 0; i < instrument; i++) {
    const uint32_t count = Get16(img, at + 27);
    if (count == 0) {
      at += Get32(img, at);
      continue;
    }
    const uint32_t shs = Get32(img, at + 29);
    size_t headers = at + Get32(img, at);
    size_t data = headers + count * shs;
    for (uint32_t k = 0; k < count; k++) data += Get32(img, headers + k * shs);
    at = data;
  }
  return at;
}

inline size_t SampleHeader(const std::vector<uint8_t>& img, int instrument, int sample) {
  const size_t at = InstrumentHeader(img, instrument);
  return at + Get32(img, at) + sample * Get32(img, at + 29);
}

}  // namespace xmtest
