// DirectDraw's devices and surfaces and the state they share, for the DirectDraw units alone: one
// display with a 640x480x16 exclusive mode (5:6:5), a primary flip chain, and a 640x480 5:5:5
// overlay placed over the desktop. Surfaces live in ordinary memory; flipping rotates the buffers
// of a chain, and the host shows the front.
#pragma once

#include <ddraw.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Core.h"
#include "DirectDraw.h"
#include "Host.h"

namespace vemora::platform::ddraw {

constexpr int kWidth = 640, kHeight = 480;
constexpr LONG kNaturalPitch = kWidth * 2;

class Device;
class Surface;

enum class Format { Rgb565, Rgb555 };
enum class Kind { Primary, Overlay, Back };

// Refusals and losses that tests inject (testing.h's DirectDrawFaults). Counters count down as
// calls use them.
struct Faults {
  bool createFails = false;
  bool queryFails = false;
  int refuseCooperativeLevel = 0;
  bool refuseDisplayMode = false;
  unsigned refusePrimaryBackBuffers = 0;  // bit n: a primary with n back buffers is refused
  bool refuseAttach = false;
  bool noOverlay = false;
  int refuseOverlays = 0;
  int loseAtLock = 0;
  int loseAtFlip = 0;
  int refuseRestores = 0;
  bool refuseOverlayEffects = false;
  bool refuseOverlayKey = false;
  LONG surfacePitch = 0;  // 0: the natural pitch
  int displays = -1;      // -1: the host's
  int nullDescription = -1;
};

// Everything below is guarded by `ddLock`. Order: Global().lock before ddLock, never after.
extern std::mutex ddLock;
extern Faults faults;
extern std::vector<Device*> devices;

// The surfaces the host shows.
extern Surface* visiblePrimary;  // front of the exclusive flip chain
extern Surface* visibleOverlay;
extern bool overlayShown;
extern RECT overlayDestination;
extern std::uint64_t screenVersion;
extern int screenWidth, screenHeight;  // the desktop, as last asked of the host

// Lets the host show what changed (without either lock).
void NotifyHost();

// The call log that tests read (DirectDrawLog).
void Log(std::string line);
const char* ResultName(HRESULT result);
void ClearLog();

// Taken before ddLock: when a frame is shown, and whether the host keeps every frame.
struct Stamp {
  std::uint64_t atUs = 0;
  bool recorded = false;
  static Stamp Take() {
    std::unique_lock<std::mutex> held(Global().lock);
    Stamp stamp;
    if (Global().host != nullptr) {
      stamp.atUs = Global().host->NowUs();
      stamp.recorded = Global().host->RecordsFrames();
    }
    return stamp;
  }
};

// What one presentation hands to the tools' sinks once DirectDraw's lock is released.
struct Delivery {
  std::optional<ShownFrame> frame;  // for the picture sink
  std::optional<ShownFrame> raw;
  explicit operator bool() const { return frame || raw; }
};

// Frame recording for tests and tools (DirectDrawFrames).
void Deliver(const Delivery& delivery);
void ResetFrames();

// The exclusive window's hook (DirectDrawHook): an exclusive display is lost when the user
// switches away from its window.
void HookExclusiveWindow(HWND hwnd, Window& window);  // ddLock held
void UnhookExclusiveWindow(HWND hwnd);                // takes both locks
void ForgetHooks();                                   // ddLock held

// A surface description's pixel format (DirectDrawSurface).
void FillFormat(DDPIXELFORMAT& pf, Format format);

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
  // Lost already, or by a loss the test injected for this kind of call (which it uses up).
  bool FindsLost(int& injectedLosses) {
    if (injectedLosses > 0) {
      --injectedLosses;
      SetLost();
    }
    return lost_;
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

}  // namespace vemora::platform::ddraw
