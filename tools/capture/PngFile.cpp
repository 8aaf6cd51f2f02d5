#include "PngFile.h"

#include <cstdio>
#include <cstring>

#include "Deflate.h"

namespace capture {

namespace {

void Put32(uint8_t* at, uint32_t v) {
  at[0] = static_cast<uint8_t>(v >> 24);
  at[1] = static_cast<uint8_t>(v >> 16);
  at[2] = static_cast<uint8_t>(v >> 8);
  at[3] = static_cast<uint8_t>(v);
}

bool WriteChunk(std::FILE* file, const char* type, const uint8_t* data, size_t size) {
  uint8_t head[8];
  Put32(head, static_cast<uint32_t>(size));
  std::memcpy(head + 4, type, 4);
  uint32_t crc = Crc32(0, head + 4, 4);
  if (size > 0) crc = Crc32(crc, data, size);
  uint8_t tail[4];
  Put32(tail, crc);
  return std::fwrite(head, 1, 8, file) != 8 || (size > 0 && std::fwrite(data, 1, size, file) != size) ||
         std::fwrite(tail, 1, 4, file) != 4;
}

}  // namespace

bool PngEncoder::Write(const std::string& path, const uint16_t* pixels, bool overlay) {
  const Framing& framing = painter_.framing();
  // Each row: a filter byte (0, none: speed over size, as the packing below) and RGB.
  const size_t rowBytes = 1 + static_cast<size_t>(framing.width) * 3;
  rows_.assign(rowBytes * framing.height, 0);
  painter_.ToRgb(pixels, overlay, rows_.data() + 1, rowBytes);
  if (Deflate(rows_.data(), rows_.size(), compressed_)) return true;

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return true;
  uint8_t header[13];
  Put32(header, static_cast<uint32_t>(framing.width));
  Put32(header + 4, static_cast<uint32_t>(framing.height));
  header[8] = 8;   // bits per channel
  header[9] = 2;   // RGB
  header[10] = header[11] = header[12] = 0;
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  bool failed = std::fwrite(kSignature, 1, 8, file) != 8 || WriteChunk(file, "IHDR", header, sizeof header) ||
                WriteChunk(file, "IDAT", compressed_.data(), compressed_.size()) || WriteChunk(file, "IEND", nullptr, 0);
  return (std::fclose(file) != 0) || failed;
}

}  // namespace capture
