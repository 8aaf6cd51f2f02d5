// Feeds arbitrary bytes to the PCX decoder, asking for every combination of outputs.
#include <cstddef>
#include <cstdint>

#include "effects/Pcx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  const int32_t length = static_cast<int32_t>(size);
  uint8_t *pixels = nullptr, *palette = nullptr;
  int32_t width = 0, height = 0;
  const bool wantPalette = size > 0 && (data[0] & 1);
  if (!PcxDecode(data, length, &pixels, wantPalette ? &palette : nullptr, &width, &height)) {
    // Touch the block along its length, so that a short block shows up under the sanitizer.
    unsigned sum = 0;
    const int64_t total = int64_t{width} * height;
    for (int64_t i = 0; i < total; i += 997) sum += pixels[i];
    sum += pixels[total - 1];
    if (palette)
      for (int i = 0; i < 1024; ++i) sum += palette[i];
    volatile unsigned sink = sum;
    (void)sink;
  }
  delete[] pixels;
  delete[] palette;
  return 0;
}
