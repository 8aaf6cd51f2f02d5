#include "FrameLog.h"

namespace capture {

LogFile::~LogFile() {
  if (file_) std::fclose(file_);
}

void LogFile::Begin() {
  file_ = std::fopen(path_.c_str(), "w");
  if (!file_) Fail(path_ + ": cannot write");
}

void LogFile::Frame(const FrameEvent& frame) {
  if (!file_) return;
  if (std::fprintf(file_, "%lld %llu %d %d %d\n", static_cast<long long>(frame.number),
                   static_cast<unsigned long long>(frame.atUs / 1000), frame.scene, frame.order, frame.row) < 0)
    Fail(path_ + ": cannot write");
}

void LogFile::Finish(uint64_t, bool) {
  if (!file_) return;
  const bool failed = std::ferror(file_) != 0;
  if ((std::fclose(file_) != 0) || failed) Fail(path_ + ": cannot write");
  file_ = nullptr;
}

namespace {
constexpr auto kPrintEvery = std::chrono::milliseconds(250);
}

void Progress::Begin() {
  start_ = Clock::now();
  nextPrint_ = start_ + kPrintEvery;
}

void Progress::Frame(const FrameEvent& frame) {
  ++frames_;
  scene_ = frame.scene;
  const Clock::time_point now = Clock::now();
  if (now < nextPrint_) return;
  nextPrint_ = now + kPrintEvery;
  Print(frame.scene, frame.atUs, "\r");
}

void Progress::Finish(uint64_t endUs, bool completed) {
  if (completed || frames_ > 0) Print(scene_, endUs, "\n");
}

void Progress::Print(int scene, uint64_t atUs, const char* end) {
  const double real = std::chrono::duration<double>(Clock::now() - start_).count();
  const double virtualSeconds = static_cast<double>(atUs) / 1e6;
  std::fprintf(stderr, "capture: scene %2d, frame %lld, %.1f s of virtual time in %.1f s, %.1fx real time  %s",
               scene, static_cast<long long>(frames_), virtualSeconds, real,
               real > 0 ? virtualSeconds / real : 0.0, end);
  std::fflush(stderr);
}

}  // namespace capture
