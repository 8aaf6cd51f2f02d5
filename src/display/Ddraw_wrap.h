// DirectDraw device record and surface wrappers: enumeration, device creation, and surfaces
// with lock, unlock and restore. Failures return true.
#pragma once
#include <windows.h>
#include <ddraw.h>

#include <cstdint>

struct DDrawSurface_Wrap;

struct DeviceEntry {
  uint8_t guid[16];    // all zero for the primary display driver
  char* description;   // heap copies, or null
  char* driverName;
};

struct DDraw_Wrap {
  int32_t deviceCount = 0;
  DeviceEntry* devices = nullptr;
  IDirectDraw* ddraw = nullptr;
  int32_t enumIndex = 0;
  bool countingPass = false;
  DDrawSurface_Wrap* surfaces = nullptr;  // head of the list of wrappers made for this device

  // Builds the device list.
  DDraw_Wrap();
  ~DDraw_Wrap();
  DDraw_Wrap(const DDraw_Wrap&) = delete;
  DDraw_Wrap& operator=(const DDraw_Wrap&) = delete;

  // -1 selects the primary display driver, 0..deviceCount-1 a listed device.
  bool CreateDevice(int32_t index);
  bool SetCooperation(HWND window, DWORD flags);
  // Destroys every surface wrapper of the list, then releases the interface.
  void ReleaseAll();
};

struct DDrawSurface_Wrap {
  DDraw_Wrap* owner = nullptr;
  IDirectDrawSurface* surface = nullptr;
  HRESULT lastResult = DD_OK;
  bool locked = false;
  void* lockedPixels = nullptr;
  DDrawSurface_Wrap* previous = nullptr;
  DDrawSurface_Wrap* next = nullptr;

  // Put at the head of the owner's list.
  explicit DDrawSurface_Wrap(DDraw_Wrap* owner);
  ~DDrawSurface_Wrap();
  DDrawSurface_Wrap(const DDrawSurface_Wrap&) = delete;
  DDrawSurface_Wrap& operator=(const DDrawSurface_Wrap&) = delete;

  void ReleaseSurface();
  bool CreateFromDesc(DDSURFACEDESC* desc);
  bool CreatePrimary(DWORD backBufferCount, DWORD extraCaps);
  bool AttachBackBuffer(DDrawSurface_Wrap* front);
  bool LockSurface(DDSURFACEDESC* desc, DWORD flags);
  bool UnlockSurface();
  bool RestoreSurface();
};

// A lost surface is restored and tried again at most this often before the call fails.
constexpr int kRestoreAttempts = 3;
