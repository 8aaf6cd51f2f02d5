// DirectDraw devices: the enumerator and DirectDrawCreate, the cooperative level, the display mode,
// and the creation of the primary flip chain and the overlay.
#include <algorithm>
#include <cstdio>
#include <string>

#include "DirectDrawObjects.h"
#include "Host.h"
#include "Window.h"

extern "C" const GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
extern "C" const GUID IID_IDirectDraw = {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

namespace vemora::platform::ddraw {

namespace {

// Display GUIDs: a fixed prefix and the display number in the last byte.
GUID DisplayGuid(int index) {
  GUID guid = {0x5E3A7C10, 0x4D2B, 0x4C8E, {0x9A, 0x61, 0x76, 0x65, 0x6D, 0x6F, 0x72, 0x00}};
  guid.Data4[7] = static_cast<BYTE>(index + 1);
  return guid;
}

const char* MemoryName(DWORD caps) {
  return (caps & DDSCAPS_VIDEOMEMORY) ? "video" : (caps & DDSCAPS_SYSTEMMEMORY) ? "system" : "any";
}

LONG SurfacePitch() { return faults.surfacePitch > kNaturalPitch ? (faults.surfacePitch + 7) / 8 * 8 : kNaturalPitch; }

}  // namespace

ULONG Device::Release() {
  HWND unhook = nullptr;
  {
    std::lock_guard<std::mutex> held(ddLock);
    if (--refs_ > 0) return refs_;
    for (Surface* surface : surfaces_) surface->Orphan();
    if (visiblePrimary != nullptr && visiblePrimary->device() == nullptr) visiblePrimary = nullptr;
    if (visibleOverlay != nullptr && visibleOverlay->device() == nullptr) {
      visibleOverlay = nullptr;
      overlayShown = false;
    }
    ++screenVersion;
    devices.erase(std::remove(devices.begin(), devices.end(), this), devices.end());
    if (exclusive_) unhook = window_;
  }
  if (unhook != nullptr) UnhookExclusiveWindow(unhook);
  delete this;
  NotifyHost();
  return 0;
}

HRESULT Device::SetCooperativeLevel(HWND hwnd, DWORD flags) {
  std::unique_lock<std::mutex> global(Global().lock);
  Window* window = LookupWindow(hwnd);
  std::lock_guard<std::mutex> held(ddLock);
  HRESULT result = DD_OK;
  const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
  if (faults.refuseCooperativeLevel > 0) {
    --faults.refuseCooperativeLevel;
    result = DDERR_INVALIDPARAMS;
  } else if (exclusive && ((flags & DDSCL_FULLSCREEN) == 0 || (flags & DDSCL_NORMAL) != 0 || window == nullptr)) {
    result = DDERR_INVALIDPARAMS;
  } else if (!exclusive && (flags & DDSCL_NORMAL) == 0) {
    result = DDERR_INVALIDPARAMS;
  } else {
    window_ = hwnd;
    level_ = flags;
    exclusive_ = exclusive;
    away = false;
    if (exclusive) HookExclusiveWindow(hwnd, *window);
  }
  char line[96];
  std::snprintf(line, sizeof line, "SetCooperativeLevel 0x%X -> %s", static_cast<unsigned>(flags), ResultName(result));
  Log(line);
  return result;
}

HRESULT Device::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) {
  std::lock_guard<std::mutex> held(ddLock);
  HRESULT result = DD_OK;
  if (!exclusive_)
    result = DDERR_NOEXCLUSIVEMODE;
  else if (faults.refuseDisplayMode || width != kWidth || height != kHeight || bitsPerPixel != 16)
    result = DDERR_INVALIDMODE;
  else
    modeSet_ = true;
  char line[96];
  std::snprintf(line, sizeof line, "SetDisplayMode %ux%ux%u -> %s", static_cast<unsigned>(width),
                static_cast<unsigned>(height), static_cast<unsigned>(bitsPerPixel), ResultName(result));
  Log(line);
  return result;
}

HRESULT Device::CreatePrimary(const DDSURFACEDESC& desc, Surface** made) {
  const DWORD caps = desc.ddsCaps.dwCaps;
  const DWORD count = (desc.dwFlags & DDSD_BACKBUFFERCOUNT) ? desc.dwBackBufferCount : 0;
  if (hasPrimary_) return DDERR_PRIMARYSURFACEALREADYEXISTS;
  if (level_ == 0) return DDERR_NOCOOPERATIVELEVELSET;
  if (count > 0) {
    if (!exclusive_ || !modeSet_) return DDERR_NOEXCLUSIVEMODE;
    if ((caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX)) != (DDSCAPS_FLIP | DDSCAPS_COMPLEX) || count > 3)
      return DDERR_INVALIDCAPS;
  }
  if (count < 32 && (faults.refusePrimaryBackBuffers & (1u << count))) return DDERR_OUTOFVIDEOMEMORY;
  Surface* front;
  if (exclusive_ && modeSet_) {
    front = new Surface(this, Kind::Primary, Format::Rgb565, kWidth, kHeight, SurfacePitch(), true,
                        caps | DDSCAPS_VISIBLE | DDSCAPS_FRONTBUFFER);
    for (DWORD n = 0; n < count; ++n) {
      auto* back = new Surface(this, Kind::Back, Format::Rgb565, kWidth, kHeight, SurfacePitch(), true,
                               (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE)) | DDSCAPS_BACKBUFFER);
      front->AttachBack(back);
      surfaces_.push_back(back);
    }
    visiblePrimary = front;
  } else {
    // The desktop: shown by the host's windows, never written through DirectDraw here.
    front = new Surface(this, Kind::Primary, Format::Rgb565, screenWidth, screenHeight, screenWidth * 2, false,
                        caps | DDSCAPS_VISIBLE);
  }
  surfaces_.push_back(front);
  hasPrimary_ = true;
  *made = front;
  return DD_OK;
}

HRESULT Device::CreateOverlay(const DDSURFACEDESC& desc, Surface** made) {
  const DWORD caps = desc.ddsCaps.dwCaps;
  const bool chain = (desc.dwFlags & DDSD_BACKBUFFERCOUNT) != 0;
  const DWORD count = chain ? desc.dwBackBufferCount : 0;
  if (level_ == 0) return DDERR_NOCOOPERATIVELEVELSET;
  if (faults.noOverlay) return DDERR_NOOVERLAYHW;
  if ((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || desc.dwWidth != kWidth ||
      desc.dwHeight != kHeight)
    return DDERR_INVALIDPARAMS;
  const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
  if (!(desc.dwFlags & DDSD_PIXELFORMAT) || !(pf.dwFlags & DDPF_RGB) || pf.dwRGBBitCount != 16 ||
      pf.dwRBitMask != 0x7C00 || pf.dwGBitMask != 0x03E0 || pf.dwBBitMask != 0x001F)
    return DDERR_INVALIDPIXELFORMAT;
  if (count > 0 && (caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX)) != (DDSCAPS_FLIP | DDSCAPS_COMPLEX))
    return DDERR_INVALIDCAPS;
  if (count > 2) return DDERR_OUTOFVIDEOMEMORY;
  if (faults.refuseOverlays > 0) {
    --faults.refuseOverlays;
    return DDERR_OUTOFVIDEOMEMORY;
  }
  auto* front = new Surface(this, Kind::Overlay, Format::Rgb555, kWidth, kHeight, SurfacePitch(), true,
                            caps | DDSCAPS_FRONTBUFFER);
  for (DWORD n = 0; n < count; ++n) {
    auto* back = new Surface(this, Kind::Back, Format::Rgb555, kWidth, kHeight, SurfacePitch(), true,
                             (caps & ~DDSCAPS_FRONTBUFFER) | DDSCAPS_BACKBUFFER);
    front->AttachBack(back);
    surfaces_.push_back(back);
  }
  surfaces_.push_back(front);
  visibleOverlay = front;
  overlayShown = false;
  *made = front;
  return DD_OK;
}

HRESULT Device::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) {
  int width = kWidth, height = kHeight;
  {
    std::unique_lock<std::mutex> global(Global().lock);
    if (Global().host != nullptr) Global().host->ScreenSize(width, height);
  }
  std::lock_guard<std::mutex> held(ddLock);
  screenWidth = width;
  screenHeight = height;
  if (surface == nullptr || desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC) || outer != nullptr ||
      !(desc->dwFlags & DDSD_CAPS))
    return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  const DWORD caps = desc->ddsCaps.dwCaps;
  const DWORD count = (desc->dwFlags & DDSD_BACKBUFFERCOUNT) ? desc->dwBackBufferCount : 0;
  Surface* made = nullptr;
  HRESULT result;
  const char* what = "other";
  if ((caps & DDSCAPS_VIDEOMEMORY) && (caps & DDSCAPS_SYSTEMMEMORY)) {
    result = DDERR_INVALIDCAPS;
  } else if (caps & DDSCAPS_PRIMARYSURFACE) {
    what = "primary";
    result = CreatePrimary(*desc, &made);
  } else if (caps & DDSCAPS_OVERLAY) {
    what = "overlay";
    result = CreateOverlay(*desc, &made);
  } else {
    result = DDERR_UNSUPPORTED;
  }
  char line[128];
  std::snprintf(line, sizeof line, "CreateSurface %s back=%u%s memory=%s -> %s", what, static_cast<unsigned>(count),
                (desc->dwFlags & DDSD_BACKBUFFERCOUNT) ? "" : "(none)", MemoryName(caps), ResultName(result));
  Log(line);
  if (result == DD_OK) *surface = made;
  return result;
}

}  // namespace vemora::platform::ddraw

using namespace vemora::platform;
using namespace vemora::platform::ddraw;

extern "C" HRESULT WINAPI DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, LPVOID context) {
  if (callback == nullptr) return DDERR_INVALIDPARAMS;
  int displays = 1, nullDescription = -1;
  {
    std::unique_lock<std::mutex> global(Global().lock);
    if (Global().host != nullptr) displays = Global().host->DisplayCount();
    std::lock_guard<std::mutex> held(ddLock);
    if (faults.displays >= 0) displays = faults.displays;
    nullDescription = faults.nullDescription;
  }
  char description[] = "Primary Display Driver";
  char driver[] = "display";
  if (!callback(nullptr, nullDescription == 0 ? nullptr : description, driver, context)) return DD_OK;
  for (int n = 0; n < displays; ++n) {
    GUID guid = DisplayGuid(n);
    std::string name = "Display " + std::to_string(n + 1);
    std::string device = "\\\\.\\DISPLAY" + std::to_string(n + 1);
    if (!callback(&guid, nullDescription == n + 1 ? nullptr : name.data(), device.data(), context)) break;
  }
  return DD_OK;
}

extern "C" HRESULT WINAPI DirectDrawCreate(GUID* guid, LPDIRECTDRAW* ddraw, IUnknown* outer) {
  if (ddraw == nullptr || outer != nullptr) return DDERR_INVALIDPARAMS;
  *ddraw = nullptr;
  int displays = 1;
  {
    std::unique_lock<std::mutex> global(Global().lock);
    if (Global().host != nullptr) displays = Global().host->DisplayCount();
  }
  std::lock_guard<std::mutex> held(ddLock);
  if (faults.displays >= 0) displays = faults.displays;
  HRESULT result = DD_OK;
  // Small values stand for the hardware-only and emulation-only choices of the primary driver.
  if (reinterpret_cast<std::uintptr_t>(guid) > 2) {
    bool known = *guid == GUID{};  // the primary driver's entry carries an empty GUID
    for (int n = 0; n < displays; ++n) known = known || *guid == DisplayGuid(n);
    if (!known) result = DDERR_INVALIDDIRECTDRAWGUID;
  }
  if (result == DD_OK && faults.createFails) result = DDERR_NODIRECTDRAWHW;
  if (result == DD_OK) {
    auto* device = new Device;
    devices.push_back(device);
    *ddraw = device;
  }
  Log(std::string("DirectDrawCreate -> ") + ResultName(result));
  return result;
}
