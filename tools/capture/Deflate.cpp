#include "Deflate.h"

#include <zlib.h>

namespace capture {

bool Deflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  uLongf packed = compressBound(static_cast<uLong>(size));
  out.resize(packed);
  if (compress2(out.data(), &packed, data, static_cast<uLong>(size), Z_BEST_SPEED) != Z_OK) return true;
  out.resize(packed);
  return false;
}

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
  return static_cast<uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}

}  // namespace capture
