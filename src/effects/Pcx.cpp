#include "effects/Pcx.h"

#include <cstring>
#include <new>

#include "display/Vscreentools.h"

namespace {

constexpr int32_t kHeaderSize = 128;
constexpr int32_t kPaletteSize = 768;

int32_t Word(const uint8_t* p) { return p[0] | (p[1] << 8); }

}  // namespace

bool PcxDecode(const uint8_t* data, int32_t length, uint8_t** pixels, uint8_t** palette, int32_t* width,
               int32_t* height) {
  if (pixels) *pixels = nullptr;
  if (palette) *palette = nullptr;
  if (!data || length < kHeaderSize) return true;

  const int32_t w = Word(data + 8) + 1;
  const int32_t h = Word(data + 10) + 1;
  const int64_t total = static_cast<int64_t>(w) * h;
  if (total > kPcxMaxPixels) return true;

  uint8_t* rgb0 = nullptr;
  if (palette) {
    if (length - kPaletteSize < kHeaderSize) return true;
    rgb0 = new (std::nothrow) uint8_t[1024];
    if (!rgb0) return true;
    const uint8_t* source = data + length - kPaletteSize;
    for (int i = 0; i < 256; ++i) {
      rgb0[4 * i] = source[3 * i];
      rgb0[4 * i + 1] = source[3 * i + 1];
      rgb0[4 * i + 2] = source[3 * i + 2];
      rgb0[4 * i + 3] = 0;
    }
  }

  uint8_t* block = nullptr;
  if (pixels) {
    block = new (std::nothrow) uint8_t[total];
    if (!block) {
      delete[] rgb0;
      return true;
    }
    // Zeroed first so that a stream ending early leaves black, not stale memory.
    std::memset(block, 0, static_cast<size_t>(total));
    const uint8_t* in = data + kHeaderSize;
    const uint8_t* end = data + length;
    int64_t written = 0;
    while (written < total && in < end) {
      uint8_t byte = *in++;
      if (byte >= 0xC0) {
        if (in == end) break;
        int64_t count = byte & 0x3F;
        uint8_t value = *in++;
        if (count > total - written) count = total - written;
        std::memset(block + written, value, static_cast<size_t>(count));
        written += count;
      } else {
        block[written++] = byte;
      }
    }
  }

  if (palette) *palette = rgb0;
  if (pixels) *pixels = block;
  if (width && height) {
    *width = w;
    *height = h;
  }
  return false;
}

uint8_t* PcxDecodeColours(const uint8_t* data, int32_t length, int32_t width, int32_t height, uint16_t colours[256]) {
  uint8_t *pixels, *palette;
  int32_t w, h;
  if (PcxDecode(data, length, &pixels, &palette, &w, &h)) return nullptr;
  if (w == width && h == height) {
    ConvertPalette(palette, 256);
    std::memcpy(colours, palette, 256 * sizeof(uint16_t));
  } else {
    delete[] pixels;
    pixels = nullptr;
  }
  delete[] palette;
  return pixels;
}
