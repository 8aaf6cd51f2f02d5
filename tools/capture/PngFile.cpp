#include "PngFile.h"

#include <zlib.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "testing.h"

namespace capture {

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr size_t kRowBytes = 1 + kWidth * 3;

// RGB bytes of every 16-bit pixel, the same colours as the platform's pictures.
struct ColourTable {
  std::array<uint8_t, 65536 * 3> rgb;
  explicit ColourTable(bool overlay) {
    for (uint32_t p = 0; p < 65536; ++p) {
      const uint32_t c = vemora::testing::PresentedColour(static_cast<uint16_t>(p), overlay);
      rgb[3 * p] = static_cast<uint8_t>(c >> 16);
      rgb[3 * p + 1] = static_cast<uint8_t>(c >> 8);
      rgb[3 * p + 2] = static_cast<uint8_t>(c);
    }
  }
};

const ColourTable& TableFor(bool overlay) {
  static const ColourTable full(false), windowed(true);
  return overlay ? windowed : full;
}

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
  uLong crc = crc32(0, head + 4, 4);
  if (size > 0) crc = crc32(crc, data, static_cast<uInt>(size));
  uint8_t tail[4];
  Put32(tail, static_cast<uint32_t>(crc));
  return std::fwrite(head, 1, 8, file) != 8 || (size > 0 && std::fwrite(data, 1, size, file) != size) ||
         std::fwrite(tail, 1, 4, file) != 4;
}

}  // namespace

bool PngEncoder::Write(const std::string& path, const uint16_t* pixels, bool overlay) {
  const ColourTable& table = TableFor(overlay);
  rows_.resize(kRowBytes * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = rows_.data() + y * kRowBytes;
    row[0] = 0;  // no filter, and the fastest packing below: speed over size
    for (int x = 0; x < kWidth; ++x) std::memcpy(row + 1 + 3 * x, &table.rgb[3 * pixels[y * kWidth + x]], 3);
  }
  uLongf packed = compressBound(static_cast<uLong>(rows_.size()));
  compressed_.resize(packed);
  if (compress2(compressed_.data(), &packed, rows_.data(), static_cast<uLong>(rows_.size()), Z_BEST_SPEED) != Z_OK)
    return true;

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return true;
  uint8_t header[13];
  Put32(header, kWidth);
  Put32(header + 4, kHeight);
  header[8] = 8;   // bits per channel
  header[9] = 2;   // RGB
  header[10] = header[11] = header[12] = 0;
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  bool failed = std::fwrite(kSignature, 1, 8, file) != 8 || WriteChunk(file, "IHDR", header, sizeof header) ||
                WriteChunk(file, "IDAT", compressed_.data(), packed) || WriteChunk(file, "IEND", nullptr, 0);
  return (std::fclose(file) != 0) || failed;
}

}  // namespace capture
