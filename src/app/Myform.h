// The entry point, the main window, the frame timer and the main loop.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>

extern HINSTANCE instanceHandle;
extern HWND mainWindow;
extern HICON programIcon;

// Written by the timer thread (tickCount, rateCountdown, frameRate, the frameCounter reset)
// and read by the main thread; the rest is main thread only.
extern std::atomic<int32_t> tickCount;
extern int32_t lastFrameTicks;
extern std::atomic<int32_t> frameCounter;
extern std::atomic<int32_t> rateCountdown;
extern std::atomic<int32_t> frameRate;
extern std::atomic<HANDLE> frameEvent;
extern UINT frameTimerId;
extern std::atomic<bool> appActive;
extern bool timePaused;
extern bool showFrameRate;

void CALLBACK FrameTimerCallback(UINT id, UINT message, DWORD_PTR user, DWORD_PTR unused1, DWORD_PTR unused2);
void StartFrameTimer(UINT periodMs);
// Drains the queue, at most 2001 messages; true when WM_QUIT was removed.
bool PumpMessages();
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
