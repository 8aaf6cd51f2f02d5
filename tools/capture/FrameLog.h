// Text about every presented frame: the log file, and the progress line for the person waiting.
#pragma once
#include <chrono>
#include <cstdio>
#include <string>

#include "ShowRun.h"

namespace capture {

// One line per presented frame: FRAME MS SCENE ORDER ROW.
class LogFile final : public Recorder {
 public:
  explicit LogFile(std::string path) : path_(std::move(path)) {}
  ~LogFile() override;

  void Begin() override;
  void Frame(const FrameEvent& frame) override;
  void Finish(uint64_t endUs, bool completed) override;

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
};

// Scene, virtual time and speed on standard error, rewritten in place a few times a second.
class Progress final : public Recorder {
 public:
  void Begin() override;
  void Frame(const FrameEvent& frame) override;
  void Finish(uint64_t endUs, bool completed) override;

 private:
  using Clock = std::chrono::steady_clock;
  void Print(int scene, uint64_t atUs, const char* end);

  Clock::time_point start_;
  Clock::time_point nextPrint_;
  int64_t frames_ = 0;
  int scene_ = -1;
};

}  // namespace capture
