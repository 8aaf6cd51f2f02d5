#include <emscripten/emscripten.h>

#include <array>

#include "Deflate.h"

// Node's zlib on a copy of the bytes (it takes no view of shared memory); the stream's length,
// or -1 when it does not fit in `room` bytes.
EM_JS(int, vemora_node_deflate, (const uint8_t* data, size_t size, uint8_t* out, size_t room), {
  const zlib = require('zlib');
  const packed = zlib.deflateSync(HEAPU8.slice(data, data + size), {level : 1});
  if (packed.length > room) return -1;
  HEAPU8.set(packed, out);
  return packed.length;
});

namespace capture {

namespace {

std::array<uint32_t, 256> CrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

}  // namespace

bool Deflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  // Stored blocks at worst: 5 bytes per 16 KiB, and the stream's head and check.
  out.resize(size + size / 16000 * 5 + 64);
  const int packed = vemora_node_deflate(data, size, out.data(), out.size());
  if (packed < 0) return true;
  out.resize(static_cast<size_t>(packed));
  return false;
}

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
  static const std::array<uint32_t, 256> table = CrcTable();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

}  // namespace capture
