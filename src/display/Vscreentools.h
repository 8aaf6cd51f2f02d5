// The virtual screen every scene draws into, its pixel-format tools, and the display
// operations that put it on screen.
#pragma once
#include <windows.h>
#include <ddraw.h>

#include <atomic>
#include <cstdint>

#include "display/Ddraw_wrap.h"

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;

// 640 x 480 pixels, rows back to back; exists from display set-up to shutdown.
extern uint16_t* vscreen;

// Pixel format of the back surface: an 8-bit channel c becomes (c >> loss) << shift.
extern int32_t redShift, redLoss;
extern int32_t greenShift, greenLoss;
extern int32_t blueShift, blueLoss;

// Full red and blue, no green, in the display's format.
extern int32_t keyColour;
// 32 four-byte entries; after AnalysePixelFormat greyRamp[i], i < 32, is the grey i * 8.
extern uint16_t greyRamp[64];
// Ten 3 x 5 glyphs, row by row, 0xFFFF set and 0x0000 clear.
extern const uint16_t digitFont[10 * 15];

struct MaskInfo {
  int32_t count;
  int32_t lowest;
};
MaskInfo MaskBits(uint32_t mask);

// Reads the back surface's masks, then AnalyseMasks.
void AnalysePixelFormat();
// Fills the six format values, keyColour and greyRamp from three colour masks.
void AnalyseMasks(uint32_t redMask, uint32_t greenMask, uint32_t blueMask);
// Entries of 4 bytes (red, green, blue, ignored) become count 16-bit pixels at the
// start of the same buffer.
void ConvertPalette(void* entries, int count);
// One 640 x 480 frame into surface memory whose rows are pitch bytes apart.
void CopyToSurface(void* destination, const void* source, int32_t pitch);
// Four decimal digits in the top-left corner of vscreen.
void DrawFrameRate(int32_t value);

// Display state. The surface globals are valid from a successful InitDisplay to ShutdownDisplay.
extern DDraw_Wrap* ddraw;
extern DDrawSurface_Wrap* primarySurface;  // flip chain in full screen
extern DDrawSurface_Wrap* overlaySurface;  // windowed only
extern DDrawSurface_Wrap* backSurface;     // where frames are written
extern DDSURFACEDESC surfaceDesc;          // overlay creation and the presentation lock
extern int32_t displayMode;              // 0 full screen, 1 windowed overlay, 2 none
extern std::atomic<bool> displayBusy;    // set-up running: the frame timer stands still
extern bool overlayDirty;
extern bool frameInBackSurface;          // the scene already wrote this frame into the back surface

// Display operations. Failures return true.
void EnumerateDevices();
// mode 0 full screen, 1 windowed; `pump` drains the window's messages between the set-up steps.
bool InitDisplay(int mode, HWND window, bool (*pump)());
void PresentFrame();
void PlaceOverlay(bool show, const RECT* destination);
void ShutdownDisplay();
void DestroyDisplay();

// For the scenes that write their frame straight into the back surface.
struct LockedSurface {
  uint8_t* pixels;  // first row; null when there is no back surface or it could not be locked
  int32_t pitch;    // bytes from one row to the next
};
// Locks with waiting; a surface given must be released with backSurface->UnlockSurface().
LockedSurface LockBackSurface();
// A black frame, for a scene that has nothing to show.
void ClearBackSurface();
