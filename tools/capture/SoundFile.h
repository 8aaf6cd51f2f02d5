// The bytes the virtual sound device played, as a WAV file written as they play.
#pragma once
#include <string>

#include "ShowRun.h"
#include "WavWriter.h"

namespace capture {

class SoundFile final : public Recorder {
 public:
  explicit SoundFile(std::string path, uint32_t maxDataBytes = wavfile::kMaxDataBytes)
      : path_(std::move(path)), wav_(maxDataBytes) {}

  void Begin() override;
  void Sound(const SoundEvent& sound) override;
  void Finish(uint64_t endUs, bool completed) override;

  // Virtual time of the first played frame; 0 when nothing played.
  uint64_t startUs() const { return startUs_; }
  int rate() const { return rate_; }
  uint32_t dataBytes() const { return wav_.dataBytes(); }

 private:
  std::string path_;
  wavfile::WavWriter wav_;
  uint64_t startUs_ = 0;
  int rate_ = 0;
};

}  // namespace capture
