#include "effects/Pcx.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "app/Random.h"
#include "assets/Assets.h"
#include "display/Vscreentools.h"
#include "effects/Chopfloat.h"
#include "effects/Font.h"

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

bool PcxDecodeHiColour(const uint8_t* data, int32_t length, int32_t width, int32_t height, uint16_t* out) {
  uint16_t colours[256];
  uint8_t* pixels = PcxDecodeColours(data, length, width, height, colours);
  if (!pixels) return true;
  for (int32_t i = 0; i < width * height; ++i) out[i] = colours[pixels[i]];
  delete[] pixels;
  return false;
}

// --- Fading pictures

namespace {

constexpr int32_t kLevelStride = 512;  // 16-bit entries per 1024-byte level
constexpr int32_t kFullAmplitude = 65536;
constexpr int32_t kSwingTicks = 18;
constexpr int32_t kFlickerTicks = 210;
constexpr float kBounceRate = 0.1869995625f;
constexpr float kOver131072 = 0x1p-17f;  // a power of two: the product is the exact quotient
constexpr int32_t kMinStep = 0x6000;  // never magnify more than 8/3 times

void SetLevel(FadePicture& picture, int32_t level) {
  if (picture.fadeTable) picture.currentPalette = picture.fadeTable + level * kLevelStride;
}

void BuildFadeTable(FadePicture& picture) {
  picture.fadeTable = new (std::nothrow) uint16_t[kFadeLevels * kLevelStride];
  if (!picture.fadeTable) return;
  for (int32_t level = 0; level < kFadeLevels; ++level) {
    auto* block = reinterpret_cast<uint8_t*>(picture.fadeTable + level * kLevelStride);
    for (int i = 0; i < 1024; ++i) block[i] = static_cast<uint8_t>(picture.palette[i] * level / 63);
    ConvertPalette(block, 256);
  }
}

bool Bounce(FadePicture& picture, int ticks) {
  bool signal = false;
  if (picture.clock >= kSwingTicks) {
    signal = true;
    picture.amplitude = static_cast<int32_t>(std::max<int64_t>(0, picture.amplitude - int64_t{ticks} * 256));
  }
  picture.lastWidth = picture.drawWidth;
  picture.lastHeight = picture.drawHeight;
  const auto amplitude = static_cast<float>(picture.amplitude);
  const auto clock = static_cast<float>(picture.clock);
  const float rate = ChopMul(kBounceRate, picture.rateFactor);
  const float swingX = ChopMul(amplitude, ChopCos(ChopMul(rate, clock)));
  const float rateY = ChopMul(ChopMul(kBounceRate, 1.324f), picture.rateFactor);
  const float swingY = ChopMul(ChopMul(0.75f, amplitude), ChopCos(ChopMul(rateY, clock)));
  const auto scaled = [](float swing, int32_t size) {
    return static_cast<int32_t>(ChopMul(ChopMul(ChopSub(65536.0f, swing), static_cast<float>(size)), kOver131072));
  };
  picture.drawWidth = scaled(swingX, picture.width);
  picture.drawHeight = scaled(swingY, picture.height);
  const int32_t level = picture.width > 0 ? picture.drawWidth * 64 / picture.width : 0;
  SetLevel(picture, std::clamp(level, 0, kFadeLevels - 1));
  if (picture.amplitude == 0) picture.clock = 0;
  return signal;
}

bool FlickerAndFade(FadePicture& picture) {
  const int32_t clock = picture.clock;
  if (clock < kFlickerTicks) {
    const int32_t r = clock > 0 ? Random() % clock : 0;
    SetLevel(picture, r + clock / 16 > 32 ? 63 : 32);
    return false;
  }
  const int32_t level = 63 - (clock - kFlickerTicks) / 4;
  if (level >= 0) {
    SetLevel(picture, level);
    return false;
  }
  SetLevel(picture, 0);
  picture.finished = true;
  return true;
}

int32_t Half(int32_t v) { return v / 2; }

// Screen pixels that `size` source pixels cover at a 16.16 step.
int64_t StepsAcross(int32_t size, int32_t step) { return ((int64_t{size} << 16) + step - 1) / step; }

}  // namespace

void FadePictureCreate(const uint8_t* data, int32_t length, FadePicture& picture) {
  picture = FadePicture{};
  picture.amplitude = kFullAmplitude;
  // Without a picture there is nothing to draw, but the animation keeps its time.
  if (PcxDecode(data, length, &picture.pixels, &picture.palette, &picture.width, &picture.height)) return;
  BuildFadeTable(picture);
  SetLevel(picture, 0);
}

bool FadePictureAnimate(FadePicture& picture, int ticks) {
  picture.clock += ticks;
  return picture.amplitude > 0 ? Bounce(picture, ticks) : FlickerAndFade(picture);
}

void FadePictureDraw(const FadePicture& picture) {
  if (!picture.currentPalette) return;
  const int32_t w = picture.drawWidth, h = picture.drawHeight;
  const int32_t lw = picture.lastWidth, lh = picture.lastHeight;
  const int32_t sx = picture.spanX, sy = picture.spanY;
  if (lw != 0 && lh != 0) {
    ClearRect(Half(sx - lw), Half(sy - lh), Half(sx - w), Half(sy - lh) + lh + 1);
    ClearRect(Half(sx - w), Half(sy - lh), Half(sx - w) + w + 1, Half(sy - h));
    ClearRect(Half(sx - w) + w, Half(sy - lh), Half(sx - lw) + lw + 1, Half(sy - lh) + lh + 1);
    ClearRect(Half(sx - w), Half(sy - h) + h, Half(sx - w) + w + 1, Half(sy - lh) + lh + 1);
  }
  const auto step = [](int32_t size, int32_t drawn) {
    return drawn > 0 ? static_cast<int32_t>(std::min<int64_t>(int64_t{size} * 65536 / drawn, INT32_MAX)) : 0;
  };
  DrawScaled(static_cast<uint32_t>(Half(sx - w)), static_cast<uint32_t>(Half(sy - h)), step(picture.width, w),
             step(picture.height, h), picture);
}

void FadePictureRelease(FadePicture& picture) {
  delete[] picture.pixels;
  delete[] picture.palette;
  delete[] picture.fadeTable;
  picture.pixels = nullptr;
  picture.palette = nullptr;
  picture.fadeTable = nullptr;
  picture.currentPalette = nullptr;
}

void DrawScaled(uint32_t x, uint32_t y, int32_t stepX, int32_t stepY, const FadePicture& picture) {
  if (x >= kScreenWidth || y >= kScreenHeight || stepX <= kMinStep || stepY <= kMinStep) return;
  if (!picture.pixels || !picture.currentPalette) return;
  const auto columns = static_cast<int32_t>(std::min<int64_t>(StepsAcross(picture.width, stepX), kScreenWidth - x));
  const auto rows = static_cast<int32_t>(std::min<int64_t>(StepsAcross(picture.height, stepY), kScreenHeight - y));
  const uint16_t* colours = picture.currentPalette;
  uint16_t* out = vscreen + y * kScreenWidth + x;
  uint32_t v = 0;  // below height << 16 on every drawn row, so 32 bits hold it
  for (int32_t row = 0; row < rows; ++row, out += kScreenWidth, v += static_cast<uint32_t>(stepY)) {
    const uint8_t* source = picture.pixels + static_cast<size_t>(v >> 16) * static_cast<size_t>(picture.width);
    uint32_t u = 0;
    for (int32_t column = 0; column < columns; ++column, u += static_cast<uint32_t>(stepX))
      out[column] = colours[source[u >> 16]];
  }
}

void ClearRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  const auto onScreen = [](int32_t v, int32_t size) { return static_cast<uint32_t>(v) < static_cast<uint32_t>(size); };
  if (!onScreen(x0, kScreenWidth) || !onScreen(x1, kScreenWidth) || !onScreen(y0, kScreenHeight) ||
      !onScreen(y1, kScreenHeight) || x1 <= x0)
    return;
  for (int32_t y = y0; y < y1; ++y) std::memset(vscreen + y * kScreenWidth + x0, 0, sizeof(uint16_t) * (x1 - x0));
}

// --- Opening presentation

namespace {

FadePicture upperLogo, lowerLogo;
int32_t topTextX, topTextLastX;
int32_t bottomTextX, bottomTextLastX;
int32_t topLevel, bottomLevel;
bool lowerStarted;

constexpr int32_t kLogoWidth = 512, kLogoHeight = 138;

void CreateLogo(FadePicture& logo, Asset image, int32_t spanY, float rateFactor) {
  FadePictureCreate(image.data, image.size, logo);
  // Any other size would not fit the layout: such a logo is never drawn, but still keeps time.
  if (logo.width != kLogoWidth || logo.height != kLogoHeight) FadePictureRelease(logo);
  logo.spanX = 640;
  logo.spanY = spanY;
  logo.rateFactor = rateFactor;
}

// Grey level of a word at x, rising towards `peak`. The scale is 320 pixels for both words, so the
// bottom word, peaking at 200, never gets brighter than level 20.
int32_t WordLevel(int32_t x, int32_t peak) { return std::clamp((peak - std::abs(peak - x)) * 32 / 320, 0, 31); }

}  // namespace

void PresentationStart() {
  PresentationEnd();  // a run that quit during the presentation never ended it
  topTextX = topTextLastX = 580;
  bottomTextX = bottomTextLastX = 0;
  topLevel = bottomLevel = 0;
  lowerStarted = false;
  textTarget = vscreen;
  std::memset(vscreen, 0, sizeof(uint16_t) * kScreenWidth * kScreenHeight);
  CreateLogo(upperLogo, UpperLogoImage(), 300, 1.0f);
  CreateLogo(lowerLogo, LowerLogoImage(), 660, 1.483f);
}

bool PresentationUpdate(int ticks) {
  topTextLastX = topTextX;
  topTextX -= ticks;
  topLevel = WordLevel(topTextX, 320);
  if (FadePictureAnimate(upperLogo, ticks)) lowerStarted = true;
  if (lowerStarted) {
    bottomTextLastX = bottomTextX;
    bottomTextX += ticks;
    bottomLevel = WordLevel(bottomTextX, 200);
    FadePictureAnimate(lowerLogo, ticks);
  }
  return lowerLogo.finished;
}

void PresentationRender() {
  FadePictureDraw(upperLogo);
  FadePictureDraw(lowerLogo);
  textColour = 0;
  DrawText(static_cast<uint32_t>(topTextLastX), 32, textA);
  DrawText(static_cast<uint32_t>(bottomTextLastX), 400, textPresentation);
  textColour = greyRamp[topLevel];
  DrawText(static_cast<uint32_t>(topTextX), 32, textA);
  textColour = greyRamp[bottomLevel];
  DrawText(static_cast<uint32_t>(bottomTextX), 400, textPresentation);
  textColour = greyRamp[(topLevel + bottomLevel) / 2];
  DrawText(280, 216, textAnd);
}

void PresentationEnd() {
  FadePictureRelease(upperLogo);
  FadePictureRelease(lowerLogo);
}
