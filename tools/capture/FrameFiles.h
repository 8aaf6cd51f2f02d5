// Presented frames as numbered files: PNG pictures, or raw 16-bit pixels as presented.
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
  FrameFiles(Kind kind, std::string dir, FrameSelection selection)
      : kind_(kind), dir_(std::move(dir)), selection_(selection) {}

  bool NeedsPixels() const override { return true; }
  void Begin() override;
  void Frame(const FrameEvent& frame) override;

 private:
  Kind kind_;
  std::string dir_;
  FrameSelection selection_;
  PngEncoder png_;
};

}  // namespace capture
