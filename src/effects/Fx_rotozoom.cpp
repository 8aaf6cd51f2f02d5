#include "effects/Fx_rotozoom.h"

#include <cmath>
#include <cstring>

#include "assets/Assets.h"
#include "display/Vscreentools.h"
#include "effects/Pcx.h"

// --- Rotozoom

namespace {

constexpr int32_t kTextureSize = 256;
constexpr int32_t kWindowLeft = 171, kWindowTop = 122;
constexpr int32_t kWindowWidth = 309, kWindowHeight = 236;

int32_t rotoTime = 0;
int32_t du = 0, dv = 0;          // 16.16 texture steps per pixel along a row
int32_t uStart = 0, vStart = 0;  // 16.16 texture point of the window's top-left
uint16_t halfMask = 0;           // clears the bit of each colour field that a shift right would spill
uint8_t* texture = nullptr;      // null when the pictures could not be used: nothing is drawn
uint16_t textureColours[256];

// The frame picture is only needed once: it is drawn at start and the window is all that changes.
bool DrawFramePicture() {
  uint16_t colours[256];
  const Asset frame = RotoFrameImage();
  uint8_t* pixels = PcxDecodeColours(frame.data, frame.size, kScreenWidth, kScreenHeight, colours);
  if (!pixels) return false;
  for (int32_t i = 0; i < kScreenWidth * kScreenHeight; ++i) vscreen[i] = colours[pixels[i]];
  delete[] pixels;
  return true;
}

uint16_t Blend(uint16_t fresh, uint16_t old) {
  return static_cast<uint16_t>(((fresh & halfMask) >> 1) + ((old & halfMask) >> 1));
}

// Walks the window row by row and hands each texel's colour and its place to `put`.
template <typename Put>
void DrawWindow(Put put) {
  if (!texture || !vscreen) return;
  // Unsigned: the coordinates wrap, and so does the texture.
  uint32_t rowU = static_cast<uint32_t>(uStart), rowV = static_cast<uint32_t>(vStart);
  const uint32_t stepU = static_cast<uint32_t>(du), stepV = static_cast<uint32_t>(dv);
  for (int32_t y = 0; y < kWindowHeight; ++y) {
    uint16_t* out = vscreen + (kWindowTop + y) * kScreenWidth + kWindowLeft;
    uint32_t u = rowU + stepU, v = rowV + stepV;
    for (int32_t x = 0; x < kWindowWidth; ++x) {
      put(out[x], textureColours[texture[((v >> 8) & 0xFF00) | ((u >> 16) & 0xFF)]]);
      u += stepU;
      v += stepV;
    }
    rowU -= stepV;
    rowV += stepU;
  }
}

}  // namespace

void RotozoomStart() {
  rotoTime = 0;
  RotozoomEnd();
  if (!vscreen) return;
  const Asset picture = RotoTextureImage();
  texture = PcxDecodeColours(picture.data, picture.size, kTextureSize, kTextureSize, textureColours);
  if (!texture || !DrawFramePicture()) {
    RotozoomEnd();
    std::memset(vscreen, 0, kScreenWidth * kScreenHeight * sizeof(uint16_t));
  }
  uint8_t grey[4] = {128, 128, 128, 0};
  ConvertPalette(grey, 1);
  uint16_t doubled;
  std::memcpy(&doubled, grey, sizeof doubled);
  halfMask = static_cast<uint16_t>(~(doubled << 1));
  du = 0x10000;
  dv = 0;
  uStart = vStart = 0;
}

bool RotozoomUpdate(int ticks) {
  rotoTime += ticks;
  const float angle = rotoTime * 0.004f;
  const float zoom = std::sin(rotoTime * 0.013333333333333334f) * 64 + 64.1f;
  const float s = std::sin(angle), c = std::cos(angle);
  du = static_cast<int32_t>(zoom * s * 4096);
  dv = static_cast<int32_t>(zoom * c * 4096);
  uStart = static_cast<int32_t>(s * -1048576.0f * zoom + c * -1048576.0f * zoom);
  vStart = static_cast<int32_t>(c * -1048576.0f * zoom + s * -1048576.0f * zoom);  // uStart's terms, other order
  return false;
}

void RotozoomRender() {
  DrawWindow([](uint16_t& pixel, uint16_t colour) { pixel = colour; });
}

void RotozoomBlendRender() {
  DrawWindow([](uint16_t& pixel, uint16_t colour) { pixel = Blend(colour, pixel); });
}

void RotozoomEnd() {
  delete[] texture;
  texture = nullptr;
}
