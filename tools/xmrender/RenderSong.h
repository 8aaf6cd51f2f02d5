// The offline render loop of xmrender, shared with the tests and the benchmark.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace xmrender {

struct Options {
  int rate = 44100;
  bool plain = false;       // mixer mode 10 instead of 12 (interpolated)
  double seconds = -1;      // stop after this much audio; < 0 renders to the song's end
  bool positions = false;   // collect the frame at which every row starts
};

struct RowStart {
  int64_t frame;  // output frame at which the row's first tick begins
  int32_t order;
  int32_t row;
};

struct Render {
  std::vector<int16_t> pcm;  // interleaved stereo
  std::vector<RowStart> rows;
  bool songEnded = false;    // stopped because the song ended, not because of the time cap
};

// Loads path and renders it with looping off into out, replacing what it held (its buffers'
// capacity is reused). Returns true on failure (the file did not load).
bool RenderFile(const char* path, const Options& options, Render& out);

// 16-bit stereo PCM WAV. Returns true on failure.
bool WriteWav(const char* path, const std::vector<int16_t>& pcm, int rate);

}  // namespace xmrender
