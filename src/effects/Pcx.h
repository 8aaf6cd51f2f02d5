// 8-bit PCX pictures: the decoder every picture of the show goes through, the fading pictures and
// the opening presentation that shows them.
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
// The same picture as width x height display colours written to `out`. Returns true on failure
// (out is then left as it was).
bool PcxDecodeHiColour(const uint8_t* data, int32_t length, int32_t width, int32_t height, uint16_t* out);

// A picture that bounces open, flickers on like a neon tube and fades to black.
struct FadePicture {
  int32_t width;
  int32_t height;
  const uint16_t* currentPalette;  // one level of fadeTable; absent: the picture is never drawn
  uint16_t* fadeTable;             // 64 levels of 512 entries, the first 256 of each its colours
  uint8_t* palette;                // as decoded: R, G, B, 0
  uint8_t* pixels;
  int32_t clock;                   // ticks in the current phase
  int32_t amplitude;               // 16.16; above 0 during the bounce
  int32_t drawWidth, drawHeight;
  int32_t lastWidth, lastHeight;
  int32_t spanX, spanY;            // twice the screen coordinates of the centre
  float rateFactor;                // bounce frequency multiplier
  bool finished;                   // faded out
};

constexpr int kFadeLevels = 64;

// Starts black at size 0; the owner sets spanX, spanY and rateFactor afterwards.
void FadePictureCreate(const uint8_t* data, int32_t length, FadePicture& picture);
// true from tick 18 of the bounce to its end, and from the call that finishes the fade on.
bool FadePictureAnimate(FadePicture& picture, int ticks);
// Erases what the previous, larger frame left outside the new size, then draws.
void FadePictureDraw(const FadePicture& picture);
void FadePictureRelease(FadePicture& picture);

// Scaled copy into vscreen with 16.16 steps in source pixels per screen pixel, cut at the screen's
// right and bottom edges. Steps of 0x6000 or less, and corners off the screen, draw nothing.
void DrawScaled(uint32_t x, uint32_t y, int32_t stepX, int32_t stepY, const FadePicture& picture);
// Clears [x0, x1) x [y0, y1) of vscreen; a corner off the screen clears nothing.
void ClearRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1);

// The opening presentation: two logos and three words.
void PresentationStart();
bool PresentationUpdate(int ticks);  // true once the lower logo has faded out
void PresentationRender();
void PresentationEnd();
