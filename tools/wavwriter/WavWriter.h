// A 16-bit stereo PCM WAV file written as the sound is made: memory stays flat however long the
// recording, and the 32-bit size fields never overflow.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace wavfile {

constexpr std::uint32_t kFrameBytes = 4;
constexpr std::uint32_t kHeaderBytes = 44;
// The RIFF size (36 + data) must fit in 32 bits; whole frames only.
constexpr std::uint32_t kMaxDataBytes = (UINT32_MAX - (kHeaderBytes - 8)) / kFrameBytes * kFrameBytes;

class WavWriter {
 public:
  explicit WavWriter(std::uint32_t maxDataBytes = kMaxDataBytes) : maxDataBytes_(maxDataBytes) {}
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates the file with a provisional header. True on failure.
  bool Open(const std::string& path);
  // Appends interleaved little-endian PCM, whole frames only, as far as the file can hold it.
  // False once something did not fit (full) or could not be written (failed).
  bool Append(const void* bytes, std::size_t size);
  // Writes the final header and closes. True on failure (now or in an earlier Append).
  bool Close(int rate);

  bool full() const { return full_; }
  bool failed() const { return failed_; }
  std::uint32_t dataBytes() const { return dataBytes_; }

 private:
  std::FILE* file_ = nullptr;
  std::uint32_t maxDataBytes_;
  std::uint32_t dataBytes_ = 0;
  bool full_ = false;
  bool failed_ = false;
};

}  // namespace wavfile
