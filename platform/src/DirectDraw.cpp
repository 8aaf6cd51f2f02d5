// DirectDraw for non-Windows hosts: one display with a 640x480x16 exclusive mode (5:6:5), a
// primary flip chain, and a 640x480 5:5:5 overlay placed over the desktop. Surfaces live in
// ordinary memory; flipping rotates the buffers of a chain, and the host shows the front.
#include <ddraw.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "DirectDraw.h"
#include "Host.h"
#include "Window.h"
#include "testing.h"

extern "C" const GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
extern "C" const GUID IID_IDirectDraw = {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

namespace vemora::platform {

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr LONG kNaturalPitch = kWidth * 2;
constexpr std::size_t kLogLimit = 20000;

class Device;
class Surface;

enum class Format { Rgb565, Rgb555 };

// Display GUIDs: a fixed prefix and the display number in the last byte.
GUID DisplayGuid(int index) {
  GUID guid = {0x5E3A7C10, 0x4D2B, 0x4C8E, {0x9A, 0x61, 0x76, 0x65, 0x6D, 0x6F, 0x72, 0x00}};
  guid.Data4[7] = static_cast<BYTE>(index + 1);
  return guid;
}

// Everything below is guarded by `ddLock`. Order: Global().lock before ddLock, never after.
std::mutex ddLock;
testing::DirectDrawFaults faults;
std::vector<std::string> callLog;
std::vector<Device*> devices;
std::map<HWND, WNDPROC> hookedProcedures;  // exclusive windows: their own procedure

struct RawFrame {
  std::uint64_t atUs;
  bool overlay;
  bool flipped;
  Format format;
  std::vector<std::uint16_t> pixels;  // 640 x 480, no gap
};
std::deque<RawFrame> frames;
std::size_t keepFrames = 8;
std::uint64_t frameCount = 0;
std::function<void(const testing::PresentedFrame&)> frameSink;
std::function<void(const testing::PresentedRaw&)> rawSink;
bool rawWithPixels = false;
// The raw sink's copy of a presented frame: written and read by the presenting thread alone.
thread_local std::vector<std::uint16_t> rawPixels;

// The surfaces the host shows.
Surface* visiblePrimary = nullptr;  // front of the exclusive flip chain
Surface* visibleOverlay = nullptr;
bool overlayShown = false;
RECT overlayDestination{};
std::uint64_t screenVersion = 0;
int screenWidth = kWidth, screenHeight = kHeight;  // the desktop, as last asked of the host

void Log(std::string line) {
  if (callLog.size() < kLogLimit) callLog.push_back(std::move(line));
}

const char* ResultName(HRESULT result) {
  switch (result) {
    case DD_OK: return "ok";
    case DDERR_SURFACELOST: return "lost";
    case DDERR_NOTLOCKED: return "notlocked";
    case DDERR_NOTFLIPPABLE: return "notflippable";
    case DDERR_SURFACEBUSY: return "busy";
    case DDERR_WRONGMODE: return "wrongmode";
    case DDERR_NOOVERLAYHW: return "nooverlayhw";
    case DDERR_OUTOFVIDEOMEMORY: return "outofvideomemory";
    case DDERR_INVALIDPARAMS: return "invalidparams";
    case DDERR_INVALIDCAPS: return "invalidcaps";
    case DDERR_INVALIDMODE: return "invalidmode";
    case DDERR_NOTFOUND: return "notfound";
    case DDERR_UNSUPPORTED: return "unsupported";
    case DDERR_NOCOLORKEYHW: return "nocolorkeyhw";
    default: return "error";
  }
}

// Lets the host show what changed (without either lock).
void NotifyHost() {
  Host* host;
  {
    std::unique_lock<std::mutex> held(Global().lock);
    host = Global().host;
  }
  if (host != nullptr) host->DisplayChanged();
}

// What one presentation hands to the tools' sinks once DirectDraw's lock is released.
struct Delivery {
  std::optional<testing::PresentedFrame> frame;
  std::optional<testing::PresentedRaw> raw;
  explicit operator bool() const { return frame || raw; }
};

// Hands a frame to the tools' sinks, with no DirectDraw lock held so that they may call back.
void Deliver(const Delivery& delivery) {
  std::function<void(const testing::PresentedFrame&)> sink;
  std::function<void(const testing::PresentedRaw&)> raw;
  {
    std::lock_guard<std::mutex> held(ddLock);
    sink = frameSink;
    raw = rawSink;
  }
  if (sink && delivery.frame) sink(*delivery.frame);
  if (raw && delivery.raw) raw(*delivery.raw);
}

// A 640 x 480 frame without the surface's row gap.
void CopyRows(const std::uint8_t* bytes, LONG pitch, std::vector<std::uint16_t>& out) {
  out.resize(static_cast<std::size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    std::memcpy(out.data() + static_cast<std::size_t>(y) * kWidth, bytes + static_cast<std::size_t>(y) * pitch,
                kWidth * 2);
}

std::uint32_t ToRgb(std::uint16_t p, Format format) {
  std::uint32_t r, g, b;
  if (format == Format::Rgb565) {
    r = (p >> 11) & 31;
    g = (p >> 5) & 63;
    b = p & 31;
    g = (g << 2) | (g >> 4);
  } else {
    r = (p >> 10) & 31;
    g = (p >> 5) & 31;
    b = p & 31;
    g = (g << 3) | (g >> 2);
  }
  r = (r << 3) | (r >> 2);
  b = (b << 3) | (b >> 2);
  return (r << 16) | (g << 8) | b;
}

testing::Picture ToPicture(const std::uint8_t* pixels, LONG pitch, Format format) {
  testing::Picture picture;
  picture.width = kWidth;
  picture.height = kHeight;
  picture.pixels.resize(static_cast<std::size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * pitch;
    for (int x = 0; x < kWidth; ++x) {
      std::uint16_t p;
      std::memcpy(&p, row + 2 * x, 2);
      picture.pixels[static_cast<std::size_t>(y) * kWidth + x] = ToRgb(p, format);
    }
  }
  return picture;
}

void FillFormat(DDPIXELFORMAT& pf, Format format) {
  std::memset(&pf, 0, sizeof pf);
  pf.dwSize = sizeof(DDPIXELFORMAT);
  pf.dwFlags = DDPF_RGB;
  pf.dwRGBBitCount = 16;
  if (format == Format::Rgb565) {
    pf.dwRBitMask = 0xF800;
    pf.dwGBitMask = 0x07E0;
  } else {
    pf.dwRBitMask = 0x7C00;
    pf.dwGBitMask = 0x03E0;
  }
  pf.dwBBitMask = 0x001F;
}

enum class Kind { Primary, Overlay, Back };

// Taken before ddLock: when a frame is shown, and whether it is kept.
struct Stamp {
  std::uint64_t atUs = 0;
  bool headless = false;
  static Stamp Take() {
    std::unique_lock<std::mutex> held(Global().lock);
    Stamp stamp;
    if (Global().host != nullptr) {
      stamp.atUs = Global().host->NowUs();
      stamp.headless = Global().host->Headless();
    }
    return stamp;
  }
};

class Surface final : public IDirectDrawSurface {
 public:
  Surface(Device* device, Kind kind, Format format, int width, int height, LONG pitch, bool memory, DWORD caps)
      : device_(device), kind_(kind), format_(format), width_(width), height_(height), pitch_(pitch), caps_(caps) {
    if (memory) memory_.assign((static_cast<std::size_t>(pitch) * height + 7) / 8, 0);
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    if (object) *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    std::lock_guard<std::mutex> held(ddLock);
    return ++refs_;
  }
  ULONG STDMETHODCALLTYPE Release() override;

  // Unused parts of the interface.
  HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH, DWORD, DWORD) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD) override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER*) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetColorKey(DWORD, LPDDCOLORKEY) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetDC(HDC*) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD) override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG, LPLONG) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE*) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) override { return DDERR_ALREADYINITIALIZED; }
  HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE SetColorKey(DWORD, LPDDCOLORKEY) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG, LONG) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) override { return DDERR_UNSUPPORTED; }

  HRESULT STDMETHODCALLTYPE Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags,
                                LPDDBLTFX fx) override;
  HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* surface) override;
  HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS caps) override {
    if (caps == nullptr) return DDERR_INVALIDPARAMS;
    caps->dwCaps = caps_;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) override {
    if (format == nullptr) return DDERR_INVALIDPARAMS;
    FillFormat(*format, format_);
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override {
    std::lock_guard<std::mutex> held(ddLock);
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    Describe(*desc);
    desc->lpSurface = nullptr;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE IsLost() override {
    std::lock_guard<std::mutex> held(ddLock);
    return lost_ ? DDERR_SURFACELOST : DD_OK;
  }
  HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
  HRESULT STDMETHODCALLTYPE Restore() override;
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID pixels) override;
  HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT sourceRect, LPDIRECTDRAWSURFACE destSurface, LPRECT destRect,
                                          DWORD flags, LPDDOVERLAYFX fx) override;

  // ddLock held for the rest.
  const char* Name() const {
    return kind_ == Kind::Primary ? "primary" : kind_ == Kind::Overlay ? "overlay" : "back";
  }
  Surface* Front() { return front_ != nullptr ? front_ : this; }
  void SetLost() {
    Surface* front = Front();
    front->lost_ = true;
    for (Surface* back : front->backs_) back->lost_ = true;
  }
  void Orphan() { device_ = nullptr; }
  Device* device() const { return device_; }
  const std::uint8_t* Bytes() const { return reinterpret_cast<const std::uint8_t*>(memory_.data()); }
  LONG pitch() const { return pitch_; }
  Format format() const { return format_; }
  bool HasMemory() const { return !memory_.empty(); }
  void AttachBack(Surface* back) {
    back->front_ = this;
    backs_.push_back(back);
  }
  // Records the visible buffer; a frame for the tool's sink is left in `deliver`.
  void Record(bool flipped, const struct Stamp& stamp, Delivery& deliver);

 private:
  void Describe(DDSURFACEDESC& desc) const {
    DWORD size = desc.dwSize;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = size;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(width_);
    desc.dwHeight = static_cast<DWORD>(height_);
    desc.lPitch = pitch_;
    if (kind_ != Kind::Back && !backs_.empty()) {
      desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
      desc.dwBackBufferCount = static_cast<DWORD>(backs_.size());
    }
    FillFormat(desc.ddpfPixelFormat, format_);
    desc.ddsCaps.dwCaps = caps_;
  }
  bool Visible() const {
    return front_ == nullptr && (this == visiblePrimary || (this == visibleOverlay && overlayShown));
  }

  ULONG refs_ = 1;
  Device* device_;
  Kind kind_;
  Format format_;
  int width_, height_;
  LONG pitch_;
  DWORD caps_;
  std::vector<std::uint64_t> memory_;
  bool lost_ = false;
  bool locked_ = false;
  Surface* front_ = nullptr;     // the chain's front, for back buffers
  std::vector<Surface*> backs_;  // attached back buffers, each holding one reference of the front
};

LRESULT CALLBACK ExclusiveWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class Device final : public IDirectDraw {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    std::lock_guard<std::mutex> held(ddLock);
    bool known = riid == IID_IDirectDraw || riid == IID_IUnknown;
    HRESULT result = DD_OK;
    if (!known || (riid == IID_IDirectDraw && faults.queryFails)) {
      result = E_NOINTERFACE;
    } else {
      ++refs_;
      *object = static_cast<IDirectDraw*>(this);
    }
    Log(std::string("QueryInterface -> ") + (result == DD_OK ? "ok" : "nointerface"));
    return result;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    std::lock_guard<std::mutex> held(ddLock);
    return ++refs_;
  }
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Compact() override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE CreateClipper(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE CreatePalette(DWORD, void*, LPDIRECTDRAWPALETTE*, IUnknown*) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE FlipToGDISurface() override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS, LPDDCAPS) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD, LPDWORD) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE*) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(LPBOOL) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE Initialize(GUID*) override { return DDERR_ALREADYINITIALIZED; }
  HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override {
    std::lock_guard<std::mutex> held(ddLock);
    modeSet_ = false;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD, HANDLE) override { return DD_OK; }

  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) override;
  HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                          IUnknown* outer) override;

  // ddLock held.
  void Forget(Surface* surface) { surfaces_.erase(std::remove(surfaces_.begin(), surfaces_.end(), surface), surfaces_.end()); }
  void LoseAll() {
    for (Surface* surface : surfaces_) surface->SetLost();
  }
  const std::vector<Surface*>& surfaces() const { return surfaces_; }
  bool exclusive() const { return exclusive_; }
  HWND window() const { return window_; }
  bool away = false;  // the exclusive window was switched away from and not yet back

 private:
  HRESULT CreatePrimary(const DDSURFACEDESC& desc, Surface** made);
  HRESULT CreateOverlay(const DDSURFACEDESC& desc, Surface** made);

  ULONG refs_ = 1;
  HWND window_ = nullptr;
  DWORD level_ = 0;
  bool exclusive_ = false;
  bool modeSet_ = false;
  bool hasPrimary_ = false;
  std::vector<Surface*> surfaces_;
  friend class Surface;
};

// --- Window hook: an exclusive display is lost when the user switches away from its window.

LRESULT CALLBACK ExclusiveWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC original = nullptr;
  {
    std::lock_guard<std::mutex> held(ddLock);
    auto found = hookedProcedures.find(window);
    if (found != hookedProcedures.end()) original = found->second;
    if (message == WM_ACTIVATE) {
      bool away = LOWORD(wParam) == WA_INACTIVE;
      for (Device* device : devices) {
        if (!device->exclusive() || device->window() != window) continue;
        device->away = away;
        if (away) {
          device->LoseAll();
          Log("SwitchAway: surfaces lost");
        }
      }
    }
  }
  return original != nullptr ? original(window, message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

// --- Device

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
  if (unhook != nullptr) {
    std::unique_lock<std::mutex> global(Global().lock);
    std::lock_guard<std::mutex> held(ddLock);
    auto found = hookedProcedures.find(unhook);
    if (found != hookedProcedures.end()) {
      Window* window = LookupWindow(unhook);
      if (window != nullptr && window->procedure == ExclusiveWindowProc) window->procedure = found->second;
      hookedProcedures.erase(found);
    }
  }
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
    if (exclusive && hookedProcedures.count(hwnd) == 0) {
      hookedProcedures[hwnd] = window->procedure;
      window->procedure = ExclusiveWindowProc;
    }
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

const char* MemoryName(DWORD caps) {
  return (caps & DDSCAPS_VIDEOMEMORY) ? "video" : (caps & DDSCAPS_SYSTEMMEMORY) ? "system" : "any";
}

LONG SurfacePitch() { return faults.surfacePitch > kNaturalPitch ? (faults.surfacePitch + 7) / 8 * 8 : kNaturalPitch; }

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

// --- Surface

ULONG Surface::Release() {
  {
    std::lock_guard<std::mutex> held(ddLock);
    if (--refs_ > 0) return refs_;
    // A released front takes its chain with it; back buffers that are still referenced stay usable
    // as plain memory until their last release.
    for (Surface* back : backs_) {
      back->front_ = nullptr;
      if (--back->refs_ == 0) {
        if (back->device_ != nullptr) back->device_->Forget(back);
        delete back;
      }
    }
    backs_.clear();
    if (front_ != nullptr) {
      front_->backs_.erase(std::remove(front_->backs_.begin(), front_->backs_.end(), this), front_->backs_.end());
      front_ = nullptr;
    }
    if (device_ != nullptr) {
      device_->Forget(this);
      if (kind_ == Kind::Primary) device_->hasPrimary_ = false;
    }
    if (visiblePrimary == this) visiblePrimary = nullptr;
    if (visibleOverlay == this) {
      visibleOverlay = nullptr;
      overlayShown = false;
    }
    ++screenVersion;
  }
  delete this;
  NotifyHost();
  return 0;
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) {
  std::lock_guard<std::mutex> held(ddLock);
  HRESULT result = DD_OK;
  if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC) || rect != nullptr) {
    result = DDERR_INVALIDPARAMS;
  } else if (device_ == nullptr) {
    result = DDERR_INVALIDOBJECT;
  } else if (faults.loseAtLock > 0) {
    --faults.loseAtLock;
    SetLost();
    result = DDERR_SURFACELOST;
  } else if (lost_) {
    result = DDERR_SURFACELOST;
  } else if (memory_.empty()) {
    result = DDERR_UNSUPPORTED;
  } else if (locked_) {
    result = DDERR_SURFACEBUSY;
  } else {
    Describe(*desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = memory_.data();
    locked_ = true;
    return DD_OK;
  }
  Log(std::string("Lock ") + Name() + " -> " + ResultName(result));
  return result;
}

HRESULT Surface::Unlock(LPVOID) {
  const Stamp stamp = Stamp::Take();
  Delivery deliver;
  bool recorded = false;
  HRESULT result = DD_OK;
  {
    std::lock_guard<std::mutex> held(ddLock);
    if (!locked_) {
      result = DDERR_NOTLOCKED;
    } else {
      locked_ = false;
      if (lost_) {
        result = DDERR_SURFACELOST;
      } else if (Visible()) {
        // Without a flip chain the write itself is what the display shows.
        ++screenVersion;
        Record(false, stamp, deliver);
        recorded = true;
      }
    }
    if (result != DD_OK) Log(std::string("Unlock ") + Name() + " -> " + ResultName(result));
  }
  if (recorded) NotifyHost();
  if (deliver) Deliver(deliver);
  return result;
}

HRESULT Surface::Flip(LPDIRECTDRAWSURFACE, DWORD) {
  const Stamp stamp = Stamp::Take();
  Delivery deliver;
  HRESULT result = DD_OK;
  {
    std::lock_guard<std::mutex> held(ddLock);
    if (device_ == nullptr) {
      result = DDERR_INVALIDOBJECT;
    } else if (front_ != nullptr || backs_.empty()) {
      result = DDERR_NOTFLIPPABLE;
    } else if (faults.loseAtFlip > 0) {
      --faults.loseAtFlip;
      SetLost();
      result = DDERR_SURFACELOST;
    } else if (lost_) {
      result = DDERR_SURFACELOST;
    } else if (locked_ || std::any_of(backs_.begin(), backs_.end(), [](Surface* b) { return b->locked_; })) {
      result = DDERR_SURFACEBUSY;
    } else {
      // The first back buffer becomes visible; the old front goes to the end of the chain.
      std::vector<std::uint64_t> shown = std::move(memory_);
      memory_ = std::move(backs_.front()->memory_);
      for (std::size_t n = 0; n + 1 < backs_.size(); ++n) backs_[n]->memory_ = std::move(backs_[n + 1]->memory_);
      backs_.back()->memory_ = std::move(shown);
      ++screenVersion;
      if (Visible()) Record(true, stamp, deliver);
    }
    if (result != DD_OK) Log(std::string("Flip ") + Name() + " -> " + ResultName(result));
  }
  if (result == DD_OK) NotifyHost();
  if (deliver) Deliver(deliver);
  return result;
}

HRESULT Surface::Restore() {
  std::lock_guard<std::mutex> held(ddLock);
  HRESULT result = DD_OK;
  if (device_ == nullptr) {
    result = DDERR_INVALIDOBJECT;
  } else if (faults.refuseRestores > 0) {
    --faults.refuseRestores;
    result = DDERR_WRONGMODE;
  } else if (device_->exclusive() && device_->away) {
    result = DDERR_WRONGMODE;
  } else {
    Surface* front = Front();
    front->lost_ = false;
    for (Surface* back : front->backs_) back->lost_ = false;
  }
  Log(std::string("Restore ") + Name() + " -> " + ResultName(result));
  return result;
}

HRESULT Surface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT, DWORD flags, LPDDBLTFX fx) {
  std::lock_guard<std::mutex> held(ddLock);
  HRESULT result = DD_OK;
  RECT area{0, 0, width_, height_};
  if (destRect != nullptr) area = *destRect;
  if (!(flags & DDBLT_COLORFILL) || source != nullptr || fx == nullptr || fx->dwSize != sizeof(DDBLTFX)) {
    result = (flags & DDBLT_COLORFILL) ? DDERR_INVALIDPARAMS : DDERR_UNSUPPORTED;
  } else if (device_ == nullptr) {
    result = DDERR_INVALIDOBJECT;
  } else if (lost_) {
    result = DDERR_SURFACELOST;
  } else if (locked_) {
    result = DDERR_SURFACEBUSY;
  } else if (memory_.empty()) {
    result = DDERR_UNSUPPORTED;
  } else if (area.left < 0 || area.top < 0 || area.right > width_ || area.bottom > height_ || area.left > area.right ||
             area.top > area.bottom) {
    result = DDERR_INVALIDRECT;
  } else {
    const auto colour = static_cast<std::uint16_t>(fx->dwFillColor);
    auto* bytes = reinterpret_cast<std::uint8_t*>(memory_.data());
    for (LONG y = area.top; y < area.bottom; ++y) {
      auto* row = reinterpret_cast<std::uint16_t*>(bytes + static_cast<std::size_t>(y) * pitch_);
      std::fill(row + area.left, row + area.right, colour);
    }
    if (Visible()) ++screenVersion;
  }
  char line[96];
  std::snprintf(line, sizeof line, "Blt %s fill 0x%X -> %s", Name(), fx ? static_cast<unsigned>(fx->dwFillColor) : 0u,
                ResultName(result));
  Log(line);
  return result;
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* surface) {
  std::lock_guard<std::mutex> held(ddLock);
  HRESULT result = DD_OK;
  if (caps == nullptr || surface == nullptr) {
    result = DDERR_INVALIDPARAMS;
  } else {
    *surface = nullptr;
    if (device_ == nullptr)
      result = DDERR_INVALIDOBJECT;
    else if (faults.refuseAttach || !(caps->dwCaps & DDSCAPS_BACKBUFFER) || backs_.empty())
      result = DDERR_NOTFOUND;
    else {
      Surface* back = backs_.front();
      ++back->refs_;
      *surface = back;
    }
  }
  Log(std::string("GetAttachedSurface ") + Name() + " -> " + ResultName(result));
  return result;
}

HRESULT Surface::UpdateOverlay(LPRECT sourceRect, LPDIRECTDRAWSURFACE destSurface, LPRECT destRect, DWORD flags,
                               LPDDOVERLAYFX fx) {
  HRESULT result = DD_OK;
  {
    std::lock_guard<std::mutex> held(ddLock);
    const bool show = (flags & DDOVER_SHOW) != 0, hide = (flags & DDOVER_HIDE) != 0;
    auto* dest = static_cast<Surface*>(destSurface);
    if (kind_ != Kind::Overlay) {
      result = DDERR_NOTAOVERLAYSURFACE;
    } else if (device_ == nullptr) {
      result = DDERR_INVALIDOBJECT;
    } else if (show == hide || dest == nullptr || dest->kind_ != Kind::Primary ||
               ((flags & DDOVER_DDFX) && (fx == nullptr || fx->dwSize != sizeof(DDOVERLAYFX))) ||
               (show && destRect == nullptr)) {
      result = DDERR_INVALIDPARAMS;
    } else if ((flags & DDOVER_DDFX) && faults.refuseOverlayEffects) {
      result = DDERR_UNSUPPORTED;
    } else if ((flags & DDOVER_KEYDESTOVERRIDE) && faults.refuseOverlayKey) {
      result = DDERR_NOCOLORKEYHW;
    } else if (lost_) {
      result = DDERR_SURFACELOST;
    } else if (sourceRect != nullptr && (sourceRect->left < 0 || sourceRect->top < 0 || sourceRect->right > width_ ||
                                         sourceRect->bottom > height_)) {
      result = DDERR_INVALIDRECT;
    } else {
      overlayShown = show;
      if (destRect != nullptr) overlayDestination = *destRect;
      ++screenVersion;
    }
    char line[160];
    RECT r = destRect != nullptr ? *destRect : RECT{};
    std::snprintf(line, sizeof line, "UpdateOverlay %s%s%s (%d,%d)-(%d,%d) -> %s", show ? "show" : "hide",
                  (flags & DDOVER_KEYDESTOVERRIDE) ? " key" : "", (flags & DDOVER_DDFX) ? " fx" : "",
                  static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right),
                  static_cast<int>(r.bottom), ResultName(result));
    Log(line);
  }
  if (result == DD_OK) NotifyHost();
  return result;
}

void Surface::Record(bool flipped, const Stamp& stamp, Delivery& deliver) {
  if (!stamp.headless && !frameSink && !rawSink) return;
  ++frameCount;
  const std::uint8_t* bytes = Bytes();
  const bool overlay = kind_ == Kind::Overlay;
  // Nothing is copied or converted that nobody keeps or asked for.
  if (keepFrames > 0) {
    RawFrame frame;
    if (frames.size() >= keepFrames) {
      frame = std::move(frames.front());
      frames.pop_front();
    }
    frame.atUs = stamp.atUs;
    frame.overlay = overlay;
    frame.flipped = flipped;
    frame.format = format_;
    CopyRows(bytes, pitch_, frame.pixels);
    frames.push_back(std::move(frame));
  }
  if (frameSink) deliver.frame = testing::PresentedFrame{stamp.atUs, overlay, flipped, ToPicture(bytes, pitch_, format_)};
  if (rawSink) {
    deliver.raw = testing::PresentedRaw{stamp.atUs, overlay, nullptr};
    if (rawWithPixels) {
      CopyRows(bytes, pitch_, rawPixels);
      deliver.raw->pixels = rawPixels.data();
    }
  }
}

}  // namespace

// --- Entry points

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

void VisitScreen(const std::function<void(const ScreenView&)>& visit) {
  std::lock_guard<std::mutex> held(ddLock);
  ScreenView view;
  view.version = screenVersion;
  if (visiblePrimary != nullptr && visiblePrimary->HasMemory()) {
    view.fullScreen = true;
    view.pixels = visiblePrimary->Bytes();
    view.pitch = visiblePrimary->pitch();
    view.rgb555 = false;
  } else if (visibleOverlay != nullptr && overlayShown && visibleOverlay->HasMemory()) {
    view.overlayShown = true;
    view.destination = overlayDestination;
    view.pixels = visibleOverlay->Bytes();
    view.pitch = visibleOverlay->pitch();
    view.rgb555 = true;
  }
  visit(view);
}

void ResetDirectDraw() {
  std::lock_guard<std::mutex> held(ddLock);
  // Objects of an old run may still be referenced by the program's globals: orphan, never free.
  for (Device* device : devices)
    for (Surface* surface : device->surfaces()) surface->Orphan();
  devices.clear();
  hookedProcedures.clear();
  faults = testing::DirectDrawFaults{};
  callLog.clear();
  frames.clear();
  keepFrames = 8;
  frameCount = 0;
  frameSink = nullptr;
  rawSink = nullptr;
  rawWithPixels = false;
  visiblePrimary = nullptr;
  visibleOverlay = nullptr;
  overlayShown = false;
  overlayDestination = RECT{};
  ++screenVersion;
}

}  // namespace vemora::platform

namespace vemora::testing {

using namespace vemora::platform;

void InjectDirectDrawFaults(const DirectDrawFaults& injected) {
  std::lock_guard<std::mutex> held(ddLock);
  faults = injected;
}

std::vector<std::string> DirectDrawLog() {
  std::lock_guard<std::mutex> held(ddLock);
  return callLog;
}

void KeepPresentedFrames(std::size_t keep) {
  std::lock_guard<std::mutex> held(ddLock);
  keepFrames = keep;
  while (frames.size() > keep) frames.pop_front();
}

std::vector<PresentedFrame> PresentedFrames() {
  std::lock_guard<std::mutex> held(ddLock);
  std::vector<PresentedFrame> out;
  for (const RawFrame& frame : frames)
    out.push_back(PresentedFrame{frame.atUs, frame.overlay, frame.flipped,
                                 ToPicture(reinterpret_cast<const std::uint8_t*>(frame.pixels.data()), kNaturalPitch,
                                           frame.format)});
  return out;
}

std::uint64_t PresentedFrameCount() {
  std::lock_guard<std::mutex> held(ddLock);
  return frameCount;
}

void OnPresentedFrame(std::function<void(const PresentedFrame&)> sink) {
  std::lock_guard<std::mutex> held(ddLock);
  frameSink = std::move(sink);
}

std::uint32_t PresentedColour(std::uint16_t pixel, bool overlay) {
  return ToRgb(pixel, overlay ? Format::Rgb555 : Format::Rgb565);
}

void OnPresentedRaw(std::function<void(const PresentedRaw&)> sink, bool withPixels) {
  std::lock_guard<std::mutex> held(ddLock);
  rawSink = std::move(sink);
  rawWithPixels = withPixels;
}

DisplayState DirectDrawDisplay() {
  DisplayState state;
  VisitScreen([&](const ScreenView& view) {
    state.fullScreen = view.fullScreen;
    state.overlayShown = view.overlayShown;
    state.overlayDestination = view.destination;
  });
  std::lock_guard<std::mutex> held(ddLock);
  Surface* visible = visiblePrimary != nullptr ? visiblePrimary : visibleOverlay;
  if (visible != nullptr && visible->HasMemory())
    state.visible = ToPicture(visible->Bytes(), visible->pitch(), visible->format());
  if (visibleOverlay != nullptr && !state.fullScreen) state.overlayDestination = overlayDestination;
  return state;
}

}  // namespace vemora::testing
