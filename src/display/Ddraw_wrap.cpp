#include "display/Ddraw_wrap.h"

#include <cstring>
#include <new>

namespace {

char* Duplicate(const char* text) {
  if (!text) return nullptr;
  const size_t length = std::strlen(text) + 1;
  char* copy = new (std::nothrow) char[length];
  if (copy) std::memcpy(copy, text, length);
  return copy;
}

BOOL WINAPI EnumerateCallback(GUID* guid, LPSTR description, LPSTR driverName, LPVOID context) {
  auto* wrap = static_cast<DDraw_Wrap*>(context);
  if (wrap->countingPass) {
    ++wrap->enumIndex;
  } else if (wrap->enumIndex < wrap->deviceCount) {
    DeviceEntry& entry = wrap->devices[wrap->enumIndex];
    if (guid)
      std::memcpy(entry.guid, guid, sizeof entry.guid);
    else
      std::memset(entry.guid, 0, sizeof entry.guid);
    entry.description = Duplicate(description);
    entry.driverName = Duplicate(driverName);
    ++wrap->enumIndex;
  }
  return DDENUMRET_OK;
}

}  // namespace

DDraw_Wrap::DDraw_Wrap() {
  enumIndex = 0;
  countingPass = true;
  DirectDrawEnumerateA(EnumerateCallback, this);
  devices = new (std::nothrow) DeviceEntry[enumIndex > 0 ? enumIndex : 1]();
  deviceCount = enumIndex;
  enumIndex = 0;
  countingPass = false;
  if (devices)
    DirectDrawEnumerateA(EnumerateCallback, this);
  else
    deviceCount = 0;
  // A second pass that reported fewer devices leaves no half-filled entries behind.
  if (enumIndex < deviceCount) deviceCount = enumIndex;
  surfaces = nullptr;
  ddraw = nullptr;
}

DDraw_Wrap::~DDraw_Wrap() {
  ReleaseAll();
  if (devices) {
    for (int32_t n = 0; n < deviceCount; ++n) {
      delete[] devices[n].description;
      delete[] devices[n].driverName;
    }
  }
  delete[] devices;
}

bool DDraw_Wrap::CreateDevice(int32_t index) {
  if (index < -1 || index >= deviceCount) return true;
  GUID guid;
  GUID* chosen = nullptr;
  if (index >= 0) {
    std::memcpy(&guid, devices[index].guid, sizeof guid);
    chosen = &guid;
  }
  IDirectDraw* first = nullptr;
  if (FAILED(DirectDrawCreate(chosen, &first, nullptr)) || !first) return true;
  void* queried = nullptr;
  const HRESULT result = first->QueryInterface(IID_IDirectDraw, &queried);
  first->Release();
  ddraw = static_cast<IDirectDraw*>(queried);
  return result != DD_OK || !ddraw;
}

bool DDraw_Wrap::SetCooperation(HWND window, DWORD flags) {
  if (!ddraw) return true;
  return ddraw->SetCooperativeLevel(window, flags) != DD_OK;
}

void DDraw_Wrap::ReleaseAll() {
  while (surfaces) delete surfaces;  // each unlinks itself from the head
  if (ddraw) {
    ddraw->Release();
    ddraw = nullptr;
  }
}

DDrawSurface_Wrap::DDrawSurface_Wrap(DDraw_Wrap* owner) : owner(owner) {
  if (owner) {
    next = owner->surfaces;
    if (next) next->previous = this;
    owner->surfaces = this;
  }
}

DDrawSurface_Wrap::~DDrawSurface_Wrap() {
  if (previous) previous->next = next;
  if (next) next->previous = previous;
  if (owner && owner->surfaces == this) owner->surfaces = next;
  ReleaseSurface();
}

void DDrawSurface_Wrap::ReleaseSurface() {
  if (locked) UnlockSurface();
  if (surface) {
    surface->Release();
    surface = nullptr;
  }
  locked = false;
}

bool DDrawSurface_Wrap::CreateFromDesc(DDSURFACEDESC* desc) {
  ReleaseSurface();
  if (!desc || !owner || !owner->ddraw) return true;
  lastResult = owner->ddraw->CreateSurface(desc, &surface, nullptr);
  if (lastResult != DD_OK) surface = nullptr;
  return lastResult != DD_OK;
}

bool DDrawSurface_Wrap::CreatePrimary(DWORD backBufferCount, DWORD extraCaps) {
  ReleaseSurface();
  if (!owner || !owner->ddraw) return true;
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = extraCaps | DDSCAPS_PRIMARYSURFACE;
  if (backBufferCount > 0) {
    desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = backBufferCount;
    desc.ddsCaps.dwCaps |= DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  }
  const DWORD built = desc.ddsCaps.dwCaps;
  const DWORD attempts[3] = {built, built | DDSCAPS_VIDEOMEMORY, (built & ~DDSCAPS_VIDEOMEMORY) | DDSCAPS_SYSTEMMEMORY};
  for (DWORD caps : attempts) {
    desc.ddsCaps.dwCaps = caps;
    lastResult = owner->ddraw->CreateSurface(&desc, &surface, nullptr);
    if (lastResult == DD_OK) return false;
    surface = nullptr;
  }
  return true;
}

bool DDrawSurface_Wrap::AttachBackBuffer(DDrawSurface_Wrap* front) {
  ReleaseSurface();
  if (!front || !front->surface) return true;
  DDSCAPS caps;
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  lastResult = front->surface->GetAttachedSurface(&caps, &surface);
  if (lastResult != DD_OK) surface = nullptr;
  return lastResult != DD_OK;
}

bool DDrawSurface_Wrap::LockSurface(DDSURFACEDESC* desc, DWORD flags) {
  if (locked || !surface || !desc) return true;
  for (int restores = 0;; ++restores) {
    lastResult = surface->Lock(nullptr, desc, flags, nullptr);
    if (lastResult == DD_OK) {
      lockedPixels = desc->lpSurface;
      locked = true;
      return false;
    }
    if (lastResult != DDERR_SURFACELOST) return true;
    // A surface that is lost again after every restore fails like a failed restore.
    if (restores == kRestoreAttempts || RestoreSurface()) return true;
  }
}

bool DDrawSurface_Wrap::UnlockSurface() {
  if (!locked) return false;
  lastResult = surface ? surface->Unlock(lockedPixels) : DDERR_NOTLOCKED;
  // A surface lost while locked has no lock left to release either.
  if (lastResult == DD_OK || lastResult == DDERR_NOTLOCKED || lastResult == DDERR_SURFACELOST) {
    locked = false;
    lockedPixels = nullptr;
  }
  return lastResult != DD_OK;
}

bool DDrawSurface_Wrap::RestoreSurface() {
  if (!surface) return true;
  lastResult = surface->Restore();
  return lastResult != DD_OK;
}
