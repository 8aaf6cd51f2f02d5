#include "display/Vscreentools.h"

#include <cstring>
#include <new>

#include "app/Myform.h"

uint16_t* vscreen = nullptr;

int32_t redShift = 0, redLoss = 0;
int32_t greenShift = 0, greenLoss = 0;
int32_t blueShift = 0, blueLoss = 0;
int32_t keyColour = 0;
uint16_t greyRamp[64];

#define G(a, b, c) (a ? 0xFFFF : 0), (b ? 0xFFFF : 0), (c ? 0xFFFF : 0)
const uint16_t digitFont[10 * 15] = {
    G(1, 1, 1), G(1, 0, 1), G(1, 0, 1), G(1, 0, 1), G(1, 1, 1),  // 0
    G(0, 1, 0), G(0, 1, 0), G(0, 1, 0), G(0, 1, 0), G(0, 1, 0),  // 1
    G(1, 1, 1), G(0, 0, 1), G(1, 1, 1), G(1, 0, 0), G(1, 1, 1),  // 2
    G(1, 1, 1), G(0, 0, 1), G(1, 1, 1), G(0, 0, 1), G(1, 1, 1),  // 3
    G(1, 0, 1), G(1, 0, 1), G(1, 1, 1), G(0, 0, 1), G(0, 0, 1),  // 4
    G(1, 1, 1), G(1, 0, 0), G(1, 1, 1), G(0, 0, 1), G(1, 1, 1),  // 5
    G(1, 1, 1), G(1, 0, 0), G(1, 1, 1), G(1, 0, 1), G(1, 1, 1),  // 6
    G(1, 1, 1), G(0, 0, 1), G(0, 0, 1), G(0, 0, 1), G(0, 0, 1),  // 7
    G(1, 1, 1), G(1, 0, 1), G(1, 1, 1), G(1, 0, 1), G(1, 1, 1),  // 8
    G(1, 1, 1), G(1, 0, 1), G(1, 1, 1), G(0, 0, 1), G(1, 1, 1),  // 9
};
#undef G

MaskInfo MaskBits(uint32_t mask) {
  int32_t count = 0;
  int32_t highest = 0;
  for (int32_t bit = 0; bit < 31; ++bit) {
    if (mask & (1u << bit)) {
      ++count;
      highest = bit;
    }
  }
  return {count, highest + 1 - count};
}

void AnalyseMasks(uint32_t redMask, uint32_t greenMask, uint32_t blueMask) {
  MaskInfo r = MaskBits(redMask), g = MaskBits(greenMask), b = MaskBits(blueMask);
  redShift = r.lowest;
  redLoss = 8 - r.count;
  greenShift = g.lowest;
  greenLoss = 8 - g.count;
  blueShift = b.lowest;
  blueLoss = 8 - b.count;
  keyColour = static_cast<uint16_t>(((0xFFu >> redLoss) << redShift) | ((0xFFu >> blueLoss) << blueShift));

  unsigned char* bytes = reinterpret_cast<unsigned char*>(greyRamp);
  for (int i = 0; i < 32; ++i) {
    unsigned char v = static_cast<unsigned char>(i * 256 / 32);
    bytes[4 * i] = v;
    bytes[4 * i + 1] = v;
    bytes[4 * i + 2] = v;
    bytes[4 * i + 3] = 0;
  }
  ConvertPalette(greyRamp, 32);
}

void ConvertPalette(void* entries, int count) {
  unsigned char* bytes = static_cast<unsigned char*>(entries);
  for (int i = 0; i < count; ++i) {
    // Entry i is read whole before pixel i is stored, and pixel i never reaches entry i + 1.
    const unsigned char* e = bytes + 4 * i;
    uint16_t pixel = static_cast<uint16_t>(((e[0] >> redLoss) << redShift) | ((e[1] >> greenLoss) << greenShift) |
                                           ((e[2] >> blueLoss) << blueShift));
    std::memcpy(bytes + 2 * i, &pixel, 2);
  }
}

void CopyToSurface(void* destination, const void* source, int32_t pitch) {
  unsigned char* row = static_cast<unsigned char*>(destination);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  for (int y = 0; y < kScreenHeight; ++y) {
    unsigned char* to = row;
    for (int x = 0; x < kScreenWidth * 2; x += 8) {
      uint64_t move;
      std::memcpy(&move, from + x, 8);
      std::memcpy(to + x, &move, 8);
    }
    from += kScreenWidth * 2;
    row += pitch;
  }
}

void DrawFrameRate(int32_t value) {
  if (!vscreen) return;
  // Unsigned, so that a stray negative value cannot index outside the font.
  uint32_t v = static_cast<uint32_t>(value);
  const uint32_t digits[4] = {v / 1000 % 10, v / 100 % 10, v / 10 % 10, v % 10};
  for (int k = 0; k < 4; ++k) {
    const uint16_t* glyph = digitFont + digits[k] * 15;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 3; ++x) vscreen[y * kScreenWidth + 4 * k + x] = glyph[y * 3 + x];
  }
}

// ---------------------------------------------------------------------------------------------
// Display: a plain GDI stand-in for the DirectDraw presentation. It keeps its own back buffer,
// presents it into the window's client area, and always works in 5:6:5.

int32_t displayMode = 2;
std::atomic<bool> displayBusy{false};
bool overlayDirty = false;
bool frameInBackSurface = false;
bool refuseDisplaySetUp = false;

namespace {
uint16_t* backBuffer = nullptr;
constexpr uint32_t kRedMask = 0xF800, kGreenMask = 0x07E0, kBlueMask = 0x001F;

void FreeVscreen() {
  delete[] vscreen;
  vscreen = nullptr;
}

RECT ClientAreaOnScreen() {
  RECT r{};
  GetClientRect(mainWindow, &r);
  POINT topLeft{r.left, r.top}, bottomRight{r.right, r.bottom};
  ClientToScreen(mainWindow, &topLeft);
  ClientToScreen(mainWindow, &bottomRight);
  return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}
}  // namespace

void AnalysePixelFormat() { AnalyseMasks(kRedMask, kGreenMask, kBlueMask); }

void EnumerateDevices() {}

bool InitDisplay(int mode) {
  displayBusy = true;
  PumpMessages();
  if (refuseDisplaySetUp) {
    displayBusy = false;
    return true;
  }
  vscreen = new (std::nothrow) uint16_t[kScreenWidth * kScreenHeight];
  backBuffer = new (std::nothrow) uint16_t[kScreenWidth * kScreenHeight]();
  if (!vscreen || !backBuffer) {
    FreeVscreen();
    delete[] backBuffer;
    backBuffer = nullptr;
    displayBusy = false;
    return true;
  }
  PumpMessages();
  if (mode == 1) overlayDirty = true;
  displayMode = mode;
  displayBusy = false;
  AnalysePixelFormat();
  return false;
}

void PlaceOverlay(bool show, const RECT* destination) {}

void PresentFrame() {
  if (displayMode == 2 || !backBuffer) {
    frameInBackSurface = false;
    return;
  }
  if (displayMode == 1 && overlayDirty) {
    RECT r = ClientAreaOnScreen();
    PlaceOverlay(true, &r);
    overlayDirty = false;
  }
  if (frameInBackSurface)
    frameInBackSurface = false;
  else if (vscreen)
    CopyToSurface(backBuffer, vscreen, kScreenWidth * 2);

  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = kScreenWidth;
  info.header.biHeight = -kScreenHeight;  // top-down
  info.header.biPlanes = 1;
  info.header.biBitCount = 16;
  info.header.biCompression = BI_BITFIELDS;
  info.masks[0] = kRedMask;
  info.masks[1] = kGreenMask;
  info.masks[2] = kBlueMask;
  RECT client{};
  GetClientRect(mainWindow, &client);
  if (HDC dc = GetDC(mainWindow)) {
    StretchDIBits(dc, 0, 0, client.right - client.left, client.bottom - client.top, 0, 0, kScreenWidth,
                  kScreenHeight, backBuffer, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(mainWindow, dc);
  }
}

void ShutdownDisplay() {
  FreeVscreen();
  if (displayMode == 0 || displayMode == 1) {
    delete[] backBuffer;
    backBuffer = nullptr;
  }
}

void DestroyDisplay() {
  FreeVscreen();
  delete[] backBuffer;
  backBuffer = nullptr;
}
