// The settings record: written by the Settings dialog on GO, read afterwards.
#pragma once
#include <cstdint>

extern int32_t audioDriver;    // 0 waveOut, 1 DirectSound
extern int32_t audioDevice;    // index within that driver
extern int32_t videoDevice;    // DirectDraw device index, -1 primary display driver
extern int32_t mixRate;        // Hz
extern int32_t stereo;
extern int32_t interpolation;
extern bool windowed;
extern bool loopDemo;
