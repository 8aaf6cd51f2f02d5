// Presented frames as numbered files: PNG pictures (framed), or raw 16-bit pixels as presented.
#pragma once
#include <cstdint>
#include <limits>
#include <string>

#include "PngFile.h"
#include "ShowRun.h"

namespace capture {

// Which frame numbers are kept.
struct FrameSelection {
  int64_t every = 1;
  int64_t from = 1;
  int64_t to = std::numeric_limits<int64_t>::max();
  bool Keeps(int64_t number) const { return number >= from && number <= to && number % every == 0; }
};

class FrameFiles final : public Recorder {
 public:
  enum class Kind { Png, Raw };
  FrameFiles(Kind kind, std::string dir, FrameSelection selection, const Framing& framing = {})
      : kind_(kind), dir_(std::move(dir)), selection_(selection), png_(framing) {}

  bool NeedsPixels() const override { return true; }
  void Begin() override;
  void Frame(const FrameEvent& frame) override;
  std::string Summary() const override;

 private:
  Kind kind_;
  std::string dir_;
  FrameSelection selection_;
  PngEncoder png_;
  int64_t written_ = 0;
};

}  // namespace capture
