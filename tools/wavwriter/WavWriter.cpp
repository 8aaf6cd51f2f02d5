#include "WavWriter.h"

#include <algorithm>
#include <bit>

namespace wavfile {

static_assert(std::endian::native == std::endian::little, "PCM is written as it lies in memory");

namespace {

void Put32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Put16(std::uint8_t* at, std::uint16_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
}

void MakeHeader(std::uint8_t (&h)[kHeaderBytes], int rate, std::uint32_t dataBytes) {
  std::copy_n("RIFF", 4, h);
  Put32(h + 4, kHeaderBytes - 8 + dataBytes);
  std::copy_n("WAVEfmt ", 8, h + 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);  // PCM
  Put16(h + 22, 2);
  Put32(h + 24, static_cast<std::uint32_t>(rate));
  Put32(h + 28, static_cast<std::uint32_t>(rate) * kFrameBytes);
  Put16(h + 32, kFrameBytes);
  Put16(h + 34, 16);
  std::copy_n("data", 4, h + 36);
  Put32(h + 40, dataBytes);
}

}  // namespace

WavWriter::~WavWriter() {
  if (file_) std::fclose(file_);
}

bool WavWriter::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return failed_ = true;
  std::uint8_t header[kHeaderBytes];
  MakeHeader(header, 0, 0);
  failed_ = std::fwrite(header, 1, sizeof header, file_) != sizeof header;
  return failed_;
}

bool WavWriter::Append(const void* bytes, std::size_t size) {
  if (!file_ || failed_ || full_) return false;
  const std::uint32_t room = maxDataBytes_ - dataBytes_;
  std::size_t take = size - size % kFrameBytes;
  if (take > room) {
    take = room - room % kFrameBytes;
    full_ = true;
  }
  if (std::fwrite(bytes, 1, take, file_) != take) failed_ = true;
  dataBytes_ += static_cast<std::uint32_t>(take);
  return !failed_ && !full_;
}

bool WavWriter::Close(int rate) {
  if (!file_) return true;
  std::uint8_t header[kHeaderBytes];
  MakeHeader(header, rate, dataBytes_);
  if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(header, 1, sizeof header, file_) != sizeof header)
    failed_ = true;
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return failed_;
}

}  // namespace wavfile
