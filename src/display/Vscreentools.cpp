#include "display/Vscreentools.h"

#include <cstring>
#include <new>

#include "app/Settings.h"

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
// Display: set-up, presentation, overlay placement and teardown.

DDraw_Wrap* ddraw = nullptr;
DDrawSurface_Wrap* primarySurface = nullptr;
DDrawSurface_Wrap* overlaySurface = nullptr;
DDrawSurface_Wrap* backSurface = nullptr;
int32_t displayMode = 2;
std::atomic<bool> displayBusy{false};
bool overlayDirty = false;
bool frameInBackSurface = false;
DDSURFACEDESC surfaceDesc;
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(DDSURFACEDESC) == 108, "the description the display code fills is 108 bytes on Win32");
#endif

namespace {

// What InitDisplay was given: the window the display belongs to and the shell's message pump.
HWND displayWindow = nullptr;
bool (*pumpMessages)() = nullptr;

void FreeVscreen() {
  delete[] vscreen;
  vscreen = nullptr;
}

void ClearSurfaceGlobals() {
  primarySurface = nullptr;
  overlaySurface = nullptr;
  backSurface = nullptr;
}

RECT ClientAreaOnScreen() {
  RECT r{};
  GetClientRect(displayWindow, &r);
  POINT topLeft{r.left, r.top}, bottomRight{r.right, r.bottom};
  ClientToScreen(displayWindow, &topLeft);
  ClientToScreen(displayWindow, &bottomRight);
  return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

bool ClearToBlack(DDrawSurface_Wrap* wrap) {
  DDBLTFX fx;
  std::memset(&fx, 0, sizeof fx);
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0;
  wrap->lastResult = wrap->surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  return wrap->lastResult != DD_OK;
}

bool SetUpFullScreen() {
  if (ddraw->SetCooperation(displayWindow, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_NOWINDOWCHANGES) &&
      ddraw->SetCooperation(displayWindow, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT |
                                            DDSCL_NOWINDOWCHANGES | DDSCL_SETDEVICEWINDOW))
    return true;
  pumpMessages();
  if (ddraw->ddraw->SetDisplayMode(kScreenWidth, kScreenHeight, 16) != DD_OK) return true;
  pumpMessages();
  primarySurface = new DDrawSurface_Wrap(ddraw);
  if (primarySurface->CreatePrimary(2, 0) && primarySurface->CreatePrimary(1, 0)) return true;
  backSurface = new DDrawSurface_Wrap(ddraw);
  return backSurface->AttachBackBuffer(primarySurface);
}

bool SetUpWindowed() {
  if (ddraw->SetCooperation(displayWindow, DDSCL_NORMAL)) return true;
  pumpMessages();
  primarySurface = new DDrawSurface_Wrap(ddraw);
  if (primarySurface->CreatePrimary(0, 0)) return true;

  overlaySurface = new DDrawSurface_Wrap(ddraw);
  std::memset(&surfaceDesc, 0, sizeof surfaceDesc);
  surfaceDesc.dwSize = sizeof surfaceDesc;
  surfaceDesc.dwFlags =
      DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_BACKBUFFERCOUNT | DDSD_PIXELFORMAT | DDSD_CKDESTOVERLAY;
  surfaceDesc.dwHeight = kScreenHeight;
  surfaceDesc.dwWidth = kScreenWidth;
  surfaceDesc.dwBackBufferCount = 2;
  surfaceDesc.ddckCKDestOverlay.dwColorSpaceLowValue = 0;
  surfaceDesc.ddckCKDestOverlay.dwColorSpaceHighValue = 0;
  surfaceDesc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  surfaceDesc.ddpfPixelFormat.dwFlags = DDPF_RGB;
  surfaceDesc.ddpfPixelFormat.dwRGBBitCount = 16;
  surfaceDesc.ddpfPixelFormat.dwRBitMask = 0x7C00;
  surfaceDesc.ddpfPixelFormat.dwGBitMask = 0x03E0;
  surfaceDesc.ddpfPixelFormat.dwBBitMask = 0x001F;
  surfaceDesc.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;

  // 2 back buffers in video memory; then 2, 1 and 0 in any memory; then a single overlay.
  bool failed = overlaySurface->CreateFromDesc(&surfaceDesc);
  if (failed) {
    surfaceDesc.ddsCaps.dwCaps &= ~DDSCAPS_VIDEOMEMORY;
    failed = overlaySurface->CreateFromDesc(&surfaceDesc);
  }
  while (failed) {
    if (surfaceDesc.dwBackBufferCount > 0) {
      --surfaceDesc.dwBackBufferCount;
    } else if (surfaceDesc.dwFlags & DDSD_BACKBUFFERCOUNT) {
      surfaceDesc.dwFlags &= ~DDSD_BACKBUFFERCOUNT;
      surfaceDesc.ddsCaps.dwCaps &= ~(DDSCAPS_FLIP | DDSCAPS_COMPLEX);
    } else {
      return true;
    }
    failed = overlaySurface->CreateFromDesc(&surfaceDesc);
  }

  ClearToBlack(overlaySurface);
  if (surfaceDesc.dwBackBufferCount == 0) {
    backSurface = overlaySurface;
  } else {
    backSurface = new DDrawSurface_Wrap(ddraw);
    if (backSurface->AttachBackBuffer(overlaySurface)) return true;
  }
  ClearToBlack(backSurface);
  overlayDirty = true;
  return false;
}
}  // namespace

void AnalysePixelFormat() {
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (backSurface && backSurface->surface) backSurface->surface->GetSurfaceDesc(&desc);
  AnalyseMasks(desc.ddpfPixelFormat.dwRBitMask, desc.ddpfPixelFormat.dwGBitMask, desc.ddpfPixelFormat.dwBBitMask);
}

void EnumerateDevices() {
  std::memset(&surfaceDesc, 0, sizeof surfaceDesc);
  surfaceDesc.dwSize = sizeof surfaceDesc;
  ddraw = new (std::nothrow) DDraw_Wrap();
}

bool InitDisplay(int mode, HWND window, bool (*pump)()) {
  displayBusy = true;
  displayWindow = window;
  pumpMessages = pump;
  ShutdownDisplay();
  if (ddraw) ddraw->ReleaseAll();
  // Every failure below leaves the busy flag set only until this returns.
  struct Busy {
    ~Busy() { displayBusy = false; }
  } busy;

  vscreen = new (std::nothrow) uint16_t[kScreenWidth * kScreenHeight];
  if (!vscreen || !ddraw) return true;
  if (ddraw->CreateDevice(videoDevice)) return true;
  pumpMessages();
  if (mode == 0 ? SetUpFullScreen() : SetUpWindowed()) return true;

  displayMode = mode;
  displayBusy = false;
  AnalysePixelFormat();
  return false;
}

void PlaceOverlay(bool show, const RECT* destination) {
  // Also reached from the window procedure: during set-up and after shutdown nothing is placed.
  if (!overlaySurface || !overlaySurface->surface || !primarySurface || !primarySurface->surface) return;
  RECT source{0, 0, kScreenWidth, kScreenHeight};
  RECT target = destination ? *destination : RECT{};
  const DWORD visibility = show ? DDOVER_SHOW : DDOVER_HIDE;
  DDOVERLAYFX fx;
  std::memset(&fx, 0, sizeof fx);
  fx.dwSize = sizeof fx;
  fx.dckDestColorkey.dwColorSpaceLowValue = 0;
  fx.dckDestColorkey.dwColorSpaceHighValue = 0;
  IDirectDrawSurface* overlay = overlaySurface->surface;
  IDirectDrawSurface* screen = primarySurface->surface;
  overlaySurface->lastResult =
      overlay->UpdateOverlay(&source, screen, &target, visibility | DDOVER_KEYDESTOVERRIDE | DDOVER_DDFX, &fx);
  if (overlaySurface->lastResult == DD_OK) return;
  overlaySurface->lastResult = overlay->UpdateOverlay(&source, screen, &target, visibility | DDOVER_KEYDESTOVERRIDE, nullptr);
  if (overlaySurface->lastResult == DD_OK) return;
  overlaySurface->lastResult = overlay->UpdateOverlay(&source, screen, &target, visibility, nullptr);
}

void PresentFrame() {
  if (displayMode != 0 && displayMode != 1) {
    frameInBackSurface = false;
    return;
  }
  if (displayMode == 1 && overlayDirty) {
    RECT r = ClientAreaOnScreen();
    PlaceOverlay(true, &r);
    overlayDirty = false;
  }
  if (frameInBackSurface) {
    frameInBackSurface = false;
  } else if (backSurface && !backSurface->LockSurface(&surfaceDesc, DDLOCK_WAIT)) {
    if (vscreen) CopyToSurface(surfaceDesc.lpSurface, vscreen, surfaceDesc.lPitch);
    backSurface->UnlockSurface();
  }
  DDrawSurface_Wrap* front = displayMode == 0 ? primarySurface : overlaySurface;
  if (!front || !front->surface) return;
  front->lastResult = front->surface->Flip(nullptr, DDFLIP_WAIT);
  if (front->lastResult == DDERR_SURFACELOST) front->RestoreSurface();
}

void ShutdownDisplay() {
  FreeVscreen();
  if ((displayMode == 0 || displayMode == 1) && ddraw) ddraw->ReleaseAll();
  ClearSurfaceGlobals();
}

void DestroyDisplay() {
  FreeVscreen();
  delete ddraw;
  ddraw = nullptr;
  ClearSurfaceGlobals();
}

LockedSurface LockBackSurface() {
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (!backSurface || backSurface->LockSurface(&desc, DDLOCK_WAIT)) return {nullptr, 0};
  if (!desc.lpSurface) {
    backSurface->UnlockSurface();
    return {nullptr, 0};
  }
  return {static_cast<uint8_t*>(desc.lpSurface), static_cast<int32_t>(desc.lPitch)};
}

void ClearBackSurface() {
  if (backSurface && backSurface->surface) ClearToBlack(backSurface);
}
