// DirectDraw surfaces: locking, flipping a chain, colour fills, losing and restoring, and placing
// the overlay. What becomes visible is recorded (DirectDrawFrames) and shown by the host.
#include <algorithm>
#include <cstdio>
#include <string>

#include "DirectDrawObjects.h"

namespace vemora::platform::ddraw {

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
  } else if (FindsLost(faults.loseAtLock)) {
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
    } else if (FindsLost(faults.loseAtFlip)) {
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

}  // namespace vemora::platform::ddraw
