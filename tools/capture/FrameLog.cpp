#include "FrameLog.h"

#include <cstdarg>

#include "Framing.h"

namespace capture {

LineFile::~LineFile() {
  if (file_) std::fclose(file_);
}

void LineFile::Begin() {
  file_ = std::fopen(path_.c_str(), "w");
  if (!file_) Fail(path_ + ": cannot write");
}

void LineFile::Line(const char* format, ...) {
  if (!file_) return;
  std::va_list arguments;
  va_start(arguments, format);
  if (std::vfprintf(file_, format, arguments) < 0) Fail(path_ + ": cannot write");
  va_end(arguments);
}

void LineFile::Finish(uint64_t, bool ran) {
  if (!file_) return;
  const bool failed = std::ferror(file_) != 0;
  if ((std::fclose(file_) != 0) || failed) Fail(path_ + ": cannot write");
  file_ = nullptr;
  if (!ran) std::remove(path_.c_str());
}

void LogFile::Frame(const FrameEvent& frame) {
  Line("%lld %llu %d %d %d\n", static_cast<long long>(frame.number), static_cast<unsigned long long>(frame.atUs / 1000),
       frame.scene, frame.order, frame.row);
}

std::string FrameSha1(const uint16_t* pixels) {
  return Sha1::HexOf(pixels, sizeof(uint16_t) * kShowWidth * kShowHeight);
}

void HashFile::Frame(const FrameEvent& frame) {
  Line("%lld %s\n", static_cast<long long>(frame.number), FrameSha1(frame.pixels).c_str());
}

void HashFile::Sound(const SoundEvent& sound) { sound_.Update(sound.bytes, sound.size); }

void HashFile::Finish(uint64_t endUs, bool ran) {
  Line("sound %s\n", Sha1::Hex(sound_.Final()).c_str());
  LineFile::Finish(endUs, ran);
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
  const Clock::time_point now = Clock::now();
  if (now < nextPrint_) return;
  nextPrint_ = now + kPrintEvery;
  const double real = std::chrono::duration<double>(now - start_).count();
  const double virtualSeconds = static_cast<double>(frame.atUs) / 1e6;
  printedWidth_ = std::fprintf(stderr, "capture: scene %2d, frame %lld, %.1f s of virtual time in %.1f s, %.1fx real time  \r",
                               frame.scene, static_cast<long long>(frames_), virtualSeconds, real,
                               real > 0 ? virtualSeconds / real : 0.0);
  std::fflush(stderr);
}

void Progress::Finish(uint64_t, bool) {
  if (printedWidth_ > 0) std::fprintf(stderr, "%*s\r", printedWidth_, "");
}

}  // namespace capture
