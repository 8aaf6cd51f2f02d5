// The offline render loop of xmrender, shared with the tests and the benchmark.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace xmrender {

struct Options {
  int rate = 44100;
  bool plain = false;       // mixer mode 10 instead of 12 (interpolated)
  double seconds = -1;      // stop after this much audio; < 0 renders to the song's end
  bool positions = false;   // report the frame at which every row starts
};

struct RowStart {
  int64_t frame;  // output frame at which the row's first tick begins
  int32_t order;
  int32_t row;
};

// Receives the render as it is made.
class RenderSink {
 public:
  virtual ~RenderSink() = default;
  // The song loaded and is about to render; false renders nothing.
  virtual bool Begin() { return true; }
  // With Options::positions: a row starts at row.frame (reported before that frame's PCM).
  virtual void RowStarted(const RowStart& row) {}
  // The next interleaved stereo frames; false stops the render there.
  virtual bool Pcm(const int16_t* pcm, size_t frames) = 0;
};

// The whole render in memory.
struct Render final : RenderSink {
  std::vector<int16_t> pcm;  // interleaved stereo
  std::vector<RowStart> rows;
  bool songEnded = false;    // stopped because the song ended, not because of the time cap

  void RowStarted(const RowStart& row) override { rows.push_back(row); }
  bool Pcm(const int16_t* frames, size_t count) override {
    pcm.insert(pcm.end(), frames, frames + count * 2);
    return true;
  }
};

// Loads path and renders it with looping off into sink. Returns true on failure (the file did
// not load); songEnded tells whether the song's end, rather than the time cap or the sink,
// stopped it.
bool RenderStream(const char* path, const Options& options, RenderSink& sink, bool& songEnded);

// RenderStream into out, replacing what it held (its buffers' capacity is reused).
bool RenderFile(const char* path, const Options& options, Render& out);

}  // namespace xmrender
