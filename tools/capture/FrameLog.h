// Text about every presented frame: the log and hash files, and the progress line for the person
// waiting.
#pragma once
#include <chrono>
#include <cstdio>
#include <string>

#include "Sha1.h"
#include "ShowRun.h"

namespace capture {

// A text file written a whole line at a time as the run goes.
class LineFile : public Recorder {
 public:
  explicit LineFile(std::string path) : path_(std::move(path)) {}
  ~LineFile() override;

  void Begin() override;
  void Finish(uint64_t endUs, bool ran) override;

 protected:
  void Line(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
};

// One line per presented frame: FRAME MS SCENE ORDER ROW.
class LogFile final : public LineFile {
 public:
  using LineFile::LineFile;
  void Frame(const FrameEvent& frame) override;
};

// The SHA-1 of a presented frame's raw 16-bit pixels, as the hash file gives it.
std::string FrameSha1(const uint16_t* pixels);

// One line `FRAME SHA1` per presented frame, then `sound SHA1` of every byte the device played.
class HashFile final : public LineFile {
 public:
  using LineFile::LineFile;
  bool NeedsPixels() const override { return true; }
  void Frame(const FrameEvent& frame) override;
  void Sound(const SoundEvent& sound) override;
  void Finish(uint64_t endUs, bool ran) override;

 private:
  Sha1 sound_;  // fed on the sound device's thread only
};

// Scene, virtual time and speed on standard error, rewritten in place a few times a second and
// wiped at the end, where the summary takes its place.
class Progress final : public Recorder {
 public:
  void Begin() override;
  void Frame(const FrameEvent& frame) override;
  void Finish(uint64_t endUs, bool ran) override;

 private:
  using Clock = std::chrono::steady_clock;

  Clock::time_point start_;
  Clock::time_point nextPrint_;
  int64_t frames_ = 0;
  int printedWidth_ = 0;
};

}  // namespace capture
