// The DirectDraw interfaces and records that the display uses, with the published method order,
// flag values and result codes, so the display code compiles unchanged against either platform.
#pragma once

#include <unknwn.h>

typedef LONG* LPLONG;

struct IDirectDraw;
struct IDirectDrawSurface;
struct IDirectDrawClipper;
struct IDirectDrawPalette;
typedef IDirectDraw* LPDIRECTDRAW;
typedef IDirectDrawSurface* LPDIRECTDRAWSURFACE;
typedef IDirectDrawClipper* LPDIRECTDRAWCLIPPER;
typedef IDirectDrawPalette* LPDIRECTDRAWPALETTE;
typedef struct _DDSURFACEDESC* LPDDSURFACEDESC;

extern "C" const GUID IID_IDirectDraw;

// --- Records

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue;
  DWORD dwColorSpaceHighValue;
};
typedef DDCOLORKEY* LPDDCOLORKEY;

struct DDSCAPS {
  DWORD dwCaps;
};
typedef DDSCAPS* LPDDSCAPS;

struct DDPIXELFORMAT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwFourCC;
  union {
    DWORD dwRGBBitCount;
    DWORD dwYUVBitCount;
    DWORD dwZBufferBitDepth;
    DWORD dwAlphaBitDepth;
  };
  union {
    DWORD dwRBitMask;
    DWORD dwYBitMask;
  };
  union {
    DWORD dwGBitMask;
    DWORD dwUBitMask;
  };
  union {
    DWORD dwBBitMask;
    DWORD dwVBitMask;
  };
  union {
    DWORD dwRGBAlphaBitMask;
    DWORD dwYUVAlphaBitMask;
  };
};
typedef DDPIXELFORMAT* LPDDPIXELFORMAT;

typedef struct _DDSURFACEDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  union {
    LONG lPitch;
    DWORD dwLinearSize;
  };
  DWORD dwBackBufferCount;
  union {
    DWORD dwMipMapCount;
    DWORD dwZBufferBitDepth;
    DWORD dwRefreshRate;
  };
  DWORD dwAlphaBitDepth;
  DWORD dwReserved;
  LPVOID lpSurface;
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
} DDSURFACEDESC;

struct DDBLTFX {
  DWORD dwSize;
  DWORD dwDDFX;
  DWORD dwROP;
  DWORD dwDDROP;
  DWORD dwRotationAngle;
  DWORD dwZBufferOpCode;
  DWORD dwZBufferLow;
  DWORD dwZBufferHigh;
  DWORD dwZBufferBaseDest;
  DWORD dwZDestConstBitDepth;
  union {
    DWORD dwZDestConst;
    LPDIRECTDRAWSURFACE lpDDSZBufferDest;
  };
  DWORD dwZSrcConstBitDepth;
  union {
    DWORD dwZSrcConst;
    LPDIRECTDRAWSURFACE lpDDSZBufferSrc;
  };
  DWORD dwAlphaEdgeBlendBitDepth;
  DWORD dwAlphaEdgeBlend;
  DWORD dwReserved;
  DWORD dwAlphaDestConstBitDepth;
  union {
    DWORD dwAlphaDestConst;
    LPDIRECTDRAWSURFACE lpDDSAlphaDest;
  };
  DWORD dwAlphaSrcConstBitDepth;
  union {
    DWORD dwAlphaSrcConst;
    LPDIRECTDRAWSURFACE lpDDSAlphaSrc;
  };
  union {
    DWORD dwFillColor;
    DWORD dwFillDepth;
    DWORD dwFillPixel;
    LPDIRECTDRAWSURFACE lpDDSPattern;
  };
  DDCOLORKEY ddckDestColorkey;
  DDCOLORKEY ddckSrcColorkey;
};
typedef DDBLTFX* LPDDBLTFX;

struct DDOVERLAYFX {
  DWORD dwSize;
  DWORD dwAlphaEdgeBlendBitDepth;
  DWORD dwAlphaEdgeBlend;
  DWORD dwReserved;
  DWORD dwAlphaDestConstBitDepth;
  union {
    DWORD dwAlphaDestConst;
    LPDIRECTDRAWSURFACE lpDDSAlphaDest;
  };
  DWORD dwAlphaSrcConstBitDepth;
  union {
    DWORD dwAlphaSrcConst;
    LPDIRECTDRAWSURFACE lpDDSAlphaSrc;
  };
  DDCOLORKEY dckDestColorkey;
  DDCOLORKEY dckSrcColorkey;
  DWORD dwDDFX;
  DWORD dwFlags;
};
typedef DDOVERLAYFX* LPDDOVERLAYFX;

struct DDCAPS;
typedef DDCAPS* LPDDCAPS;
struct DDBLTBATCH;
typedef DDBLTBATCH* LPDDBLTBATCH;

typedef BOOL(WINAPI* LPDDENUMCALLBACKA)(GUID* guid, LPSTR description, LPSTR driverName, LPVOID context);
typedef HRESULT(WINAPI* LPDDENUMMODESCALLBACK)(LPDDSURFACEDESC desc, LPVOID context);
typedef HRESULT(WINAPI* LPDDENUMSURFACESCALLBACK)(LPDIRECTDRAWSURFACE surface, LPDDSURFACEDESC desc, LPVOID context);

// --- Interfaces, methods in their published order

struct IDirectDraw : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Compact() = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreatePalette(DWORD flags, void* entries, LPDIRECTDRAWPALETTE* palette,
                                                  IUnknown* outer) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                                  IUnknown* outer) = 0;
  virtual HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE original, LPDIRECTDRAWSURFACE* copy) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD flags, LPDDSURFACEDESC desc, LPVOID context,
                                                     LPDDENUMMODESCALLBACK callback) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD flags, LPDDSURFACEDESC desc, LPVOID context,
                                                 LPDDENUMSURFACESCALLBACK callback) = 0;
  virtual HRESULT STDMETHODCALLTYPE FlipToGDISurface() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS driverCaps, LPDDCAPS emulationCaps) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC desc) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD count, LPDWORD codes) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE* surface) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD frequency) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD line) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(LPBOOL inBlank) = 0;
  virtual HRESULT STDMETHODCALLTYPE Initialize(GUID* guid) = 0;
  virtual HRESULT STDMETHODCALLTYPE RestoreDisplayMode() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) = 0;
  virtual HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;

 protected:
  ~IDirectDraw() = default;
};

struct IDirectDrawSurface : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE surface) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT rect) = 0;
  virtual HRESULT STDMETHODCALLTYPE Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags,
                                        LPDDBLTFX fx) = 0;
  virtual HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH batch, DWORD count, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect,
                                            DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD flags, LPDIRECTDRAWSURFACE surface) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK callback) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD flags, LPVOID context,
                                                       LPDDENUMSURFACESCALLBACK callback) = 0;
  virtual HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* surface) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS caps) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER* clipper) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDC(HDC* dc) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG x, LPLONG y) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE* palette) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) = 0;
  virtual HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW ddraw, LPDDSURFACEDESC desc) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsLost() = 0;
  virtual HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) = 0;
  virtual HRESULT STDMETHODCALLTYPE Restore() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG x, LONG y) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE palette) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unlock(LPVOID pixels) = 0;
  virtual HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT sourceRect, LPDIRECTDRAWSURFACE destSurface, LPRECT destRect,
                                                  DWORD flags, LPDDOVERLAYFX fx) = 0;
  virtual HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD flags, LPDIRECTDRAWSURFACE reference) = 0;

 protected:
  ~IDirectDrawSurface() = default;
};

// --- Functions

extern "C" {
HRESULT WINAPI DirectDrawCreate(GUID* guid, LPDIRECTDRAW* ddraw, IUnknown* outer);
HRESULT WINAPI DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, LPVOID context);
}

// --- Flags

#define DDENUMRET_CANCEL 0
#define DDENUMRET_OK 1

#define DDSCL_FULLSCREEN 0x00000001
#define DDSCL_ALLOWREBOOT 0x00000002
#define DDSCL_NOWINDOWCHANGES 0x00000004
#define DDSCL_NORMAL 0x00000008
#define DDSCL_EXCLUSIVE 0x00000010
#define DDSCL_ALLOWMODEX 0x00000040
#define DDSCL_SETFOCUSWINDOW 0x00000080
#define DDSCL_SETDEVICEWINDOW 0x00000100
#define DDSCL_CREATEDEVICEWINDOW 0x00000200

#define DDSD_CAPS 0x00000001
#define DDSD_HEIGHT 0x00000002
#define DDSD_WIDTH 0x00000004
#define DDSD_PITCH 0x00000008
#define DDSD_BACKBUFFERCOUNT 0x00000020
#define DDSD_ZBUFFERBITDEPTH 0x00000040
#define DDSD_ALPHABITDEPTH 0x00000080
#define DDSD_LPSURFACE 0x00000800
#define DDSD_PIXELFORMAT 0x00001000
#define DDSD_CKDESTOVERLAY 0x00002000
#define DDSD_CKDESTBLT 0x00004000
#define DDSD_CKSRCOVERLAY 0x00008000
#define DDSD_CKSRCBLT 0x00010000
#define DDSD_MIPMAPCOUNT 0x00020000
#define DDSD_REFRESHRATE 0x00040000
#define DDSD_LINEARSIZE 0x00080000

#define DDSCAPS_ALPHA 0x00000002
#define DDSCAPS_BACKBUFFER 0x00000004
#define DDSCAPS_COMPLEX 0x00000008
#define DDSCAPS_FLIP 0x00000010
#define DDSCAPS_FRONTBUFFER 0x00000020
#define DDSCAPS_OFFSCREENPLAIN 0x00000040
#define DDSCAPS_OVERLAY 0x00000080
#define DDSCAPS_PALETTE 0x00000100
#define DDSCAPS_PRIMARYSURFACE 0x00000200
#define DDSCAPS_SYSTEMMEMORY 0x00000800
#define DDSCAPS_TEXTURE 0x00001000
#define DDSCAPS_3DDEVICE 0x00002000
#define DDSCAPS_VIDEOMEMORY 0x00004000
#define DDSCAPS_VISIBLE 0x00008000
#define DDSCAPS_WRITEONLY 0x00010000
#define DDSCAPS_ZBUFFER 0x00020000
#define DDSCAPS_OWNDC 0x00040000
#define DDSCAPS_LOCALVIDMEM 0x10000000

#define DDPF_ALPHAPIXELS 0x00000001
#define DDPF_ALPHA 0x00000002
#define DDPF_FOURCC 0x00000004
#define DDPF_PALETTEINDEXED8 0x00000020
#define DDPF_RGB 0x00000040

#define DDLOCK_SURFACEMEMORYPTR 0x00000000
#define DDLOCK_WAIT 0x00000001
#define DDLOCK_EVENT 0x00000002
#define DDLOCK_READONLY 0x00000010
#define DDLOCK_WRITEONLY 0x00000020

#define DDFLIP_WAIT 0x00000001

#define DDBLT_COLORFILL 0x00000400
#define DDBLT_DDFX 0x00000800
#define DDBLT_WAIT 0x01000000

#define DDOVER_HIDE 0x00000200
#define DDOVER_KEYDEST 0x00000400
#define DDOVER_KEYDESTOVERRIDE 0x00000800
#define DDOVER_KEYSRC 0x00001000
#define DDOVER_KEYSRCOVERRIDE 0x00002000
#define DDOVER_SHOW 0x00004000
#define DDOVER_DDFX 0x00080000

#define DDCKEY_DESTOVERLAY 0x00000004

// --- Results

#define _FACDD 0x876
#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, _FACDD, code)

#define DD_OK S_OK
#define DDERR_ALREADYINITIALIZED MAKE_DDHRESULT(5)
#define DDERR_CANNOTATTACHSURFACE MAKE_DDHRESULT(10)
#define DDERR_CURRENTLYNOTAVAIL MAKE_DDHRESULT(40)
#define DDERR_GENERIC E_FAIL
#define DDERR_INVALIDCAPS MAKE_DDHRESULT(100)
#define DDERR_INVALIDMODE MAKE_DDHRESULT(120)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_INVALIDRECT MAKE_DDHRESULT(150)
#define DDERR_NOCOOPERATIVELEVELSET MAKE_DDHRESULT(212)
#define DDERR_NOCOLORKEYHW MAKE_DDHRESULT(220)
#define DDERR_NOEXCLUSIVEMODE MAKE_DDHRESULT(225)
#define DDERR_NOFLIPHW MAKE_DDHRESULT(230)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_NOOVERLAYHW MAKE_DDHRESULT(260)
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_OUTOFVIDEOMEMORY MAKE_DDHRESULT(380)
#define DDERR_PRIMARYSURFACEALREADYEXISTS MAKE_DDHRESULT(564)
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_NOTAOVERLAYSURFACE MAKE_DDHRESULT(580)
#define DDERR_NOTFLIPPABLE MAKE_DDHRESULT(582)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)
#define DDERR_WRONGMODE MAKE_DDHRESULT(587)
#define DDERR_NODIRECTDRAWHW MAKE_DDHRESULT(563)
#define DDERR_INVALIDDIRECTDRAWGUID MAKE_DDHRESULT(561)
