// 8-bit PCX pictures: the decoder every picture of the show goes through.
#pragma once
#include <cstdint>

// Decodes a version 5, 8-bit, one-plane, run-length encoded PCX image of `length` bytes.
// pixels: width x height palette indices, row-major; palette: 256 entries of R, G, B, 0.
// Either block is produced only when asked for; the caller releases them with delete[].
// width and height are reported only when both are asked for. Returns true on failure.
//
// The data may come from outside: nothing is read past `length`. A stream that ends before the
// picture is complete leaves the remaining pixels 0 and still succeeds; a run that would pass
// the end of the picture is cut there. Refused: a header shorter than 128 bytes, a palette that
// would overlap the header, more than kPcxMaxPixels pixels, and failed allocations.
bool PcxDecode(const uint8_t* data, int32_t length, uint8_t** pixels, uint8_t** palette, int32_t* width,
               int32_t* height);

constexpr int64_t kPcxMaxPixels = 2048 * 2048;  // over ten times the largest picture of the show

// For effects that rely on a picture's size: decodes a picture that must be exactly width x height
// and converts its palette to 256 display colours in `colours`. Returns the pixels (released with
// delete[]), or null when the data does not decode or the picture has another size.
uint8_t* PcxDecodeColours(const uint8_t* data, int32_t length, int32_t width, int32_t height, uint16_t colours[256]);
