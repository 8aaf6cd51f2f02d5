// The two pieces of zlib that PNG files need: the zlib stream of the pixel rows and the chunks'
// CRC-32. Natively the zlib library; capture.js, which Node runs, uses Node's own zlib.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace capture {

// `size` bytes as a zlib stream at the fastest level into `out`; true on failure.
bool Deflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

// CRC-32 of `size` bytes, continuing `crc` (0 to start).
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);

}  // namespace capture
