#include "FrameFiles.h"

#include <bit>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace capture {

namespace {

constexpr size_t kFrameBytes = 640 * 480 * 2;
static_assert(std::endian::native == std::endian::little, "raw frames are written as they lie in memory");

bool WriteRaw(const std::string& path, const uint16_t* pixels) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return true;
  const bool failed = std::fwrite(pixels, 1, kFrameBytes, file) != kFrameBytes;
  return (std::fclose(file) != 0) || failed;
}

}  // namespace

void FrameFiles::Begin() {
  std::error_code error;
  std::filesystem::create_directories(dir_, error);
  if (error || !std::filesystem::is_directory(dir_)) Fail(dir_ + ": cannot create the folder");
}

void FrameFiles::Frame(const FrameEvent& frame) {
  if (failed() || !selection_.Keeps(frame.number)) return;
  char name[32];
  std::snprintf(name, sizeof name, "/frame-%06lld.%s", static_cast<long long>(frame.number),
                kind_ == Kind::Png ? "png" : "raw");
  const std::string path = dir_ + name;
  const bool failed = kind_ == Kind::Png ? png_.Write(path, frame.pixels, frame.overlay) : WriteRaw(path, frame.pixels);
  if (failed)
    Fail(path + ": cannot write");
  else
    ++written_;
}

std::string FrameFiles::Summary() const {
  return dir_ + ": " + std::to_string(written_) + " frames written";
}

}  // namespace capture
