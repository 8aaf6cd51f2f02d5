// The bytes the virtual sound device played, written to a file as they play: a WAV file, or bare
// PCM, which has no size limit.
#pragma once
#include <cstdio>
#include <string>

#include "ShowRun.h"
#include "WavWriter.h"

namespace capture {

class SoundFile final : public Recorder {
 public:
  enum class Kind { Wav, Pcm };
  explicit SoundFile(std::string path, Kind kind = Kind::Wav, uint32_t maxWavBytes = wavfile::kMaxDataBytes)
      : path_(std::move(path)), kind_(kind), wav_(maxWavBytes) {}
  ~SoundFile() override;

  void Begin() override;
  void Sound(const SoundEvent& sound) override;
  void Finish(uint64_t endUs, bool ran) override;

  // Virtual time of the first played frame; 0 when nothing played.
  uint64_t startUs() const { return startUs_; }
  // The rate the device played at; 0 when nothing played.
  int rate() const { return rate_; }

 private:
  void Append(const SoundEvent& sound);

  std::string path_;
  Kind kind_;
  wavfile::WavWriter wav_;
  std::FILE* pcm_ = nullptr;
  bool created_ = false;
  uint64_t startUs_ = 0;
  int rate_ = 0;
};

}  // namespace capture
