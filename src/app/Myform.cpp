#include "app/Myform.h"

#include <cfenv>
#if defined(_WIN32)
#include <float.h>
#endif

#include "app/Config.h"
#include "app/Options.h"
#include "app/Random.h"
#include "app/Settings.h"
#include "audio/Out_base.h"
#include "display/Vscreentools.h"
#include "effects/Font.h"
#include "effects/Fx_water.h"

HINSTANCE instanceHandle = nullptr;
HWND mainWindow = nullptr;
HICON programIcon = nullptr;

std::atomic<int32_t> tickCount{0};
int32_t lastFrameTicks = 0;
std::atomic<int32_t> frameCounter{0};
std::atomic<int32_t> rateCountdown{70};
std::atomic<int32_t> frameRate{0};
std::atomic<HANDLE> frameEvent{nullptr};
UINT frameTimerId = 0;
std::atomic<bool> appActive{true};
bool timePaused = false;
bool showFrameRate = false;

namespace {
const char kClassName[] = "vemora1wndclass";
const char kTitle[] = "Vemora - Halvorine";
constexpr int kWindowWidth = 640, kWindowHeight = 480;
constexpr UINT kFramePeriodMs = 15;
constexpr DWORD kFrameWaitMs = 250;
constexpr int kMessagesPerPump = 2001;
constexpr int kBadOptions = 2;

bool running = false;
bool displayReleased = false;  // after shutdown step 1 the window procedure must not touch the display

void ResetShellState() {
  instanceHandle = nullptr;
  mainWindow = nullptr;
  programIcon = nullptr;
  tickCount = 0;
  lastFrameTicks = 0;
  frameCounter = 0;
  rateCountdown = 70;
  frameRate = 0;
  frameEvent = nullptr;
  frameTimerId = 0;
  appActive = true;
  timePaused = false;
  showFrameRate = false;
  currentScene = -1;
  sceneDone = false;
  running = false;
  displayReleased = false;
  displayMode = 2;
  displayBusy = false;
  overlayDirty = false;
  frameInBackSurface = false;
  // Effect state that lives as long as the program starts afresh with each run in one process.
  waterAngle = 0;
  RestoreGreetingOrder();
}

// Seconds of the local date and time, counted from 1970-01-01.
unsigned LocalTimeSeconds() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  // Days from the civil date (proleptic Gregorian calendar).
  int y = t.wYear - (t.wMonth <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(y - era * 400);
  const unsigned month = t.wMonth;
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + t.wDay - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const long long days = static_cast<long long>(era) * 146097 + dayOfEra - 719468;
  return static_cast<unsigned>(days * 86400 + t.wHour * 3600 + t.wMinute * 60 + t.wSecond);
}

// The scenes run in single precision with truncation, as they always have; the player thread keeps
// the default. No pixel hangs on it any more: the effects cut their results themselves (Chopfloat).
struct FloatingPointMode {
#if defined(_WIN32) && defined(__i386__)
  unsigned saved = _controlfp(0, 0);
  void Enter() {
    _fpreset();
    _controlfp(_PC_24, _MCW_PC);
    _controlfp(_RC_CHOP, _MCW_RC);
  }
  ~FloatingPointMode() { _controlfp(saved, _MCW_PC | _MCW_RC); }
#else
  int saved = std::fegetround();
  void Enter() { std::fesetround(FE_TOWARDZERO); }
  ~FloatingPointMode() { std::fesetround(saved); }
#endif
};

void ShowCursorAgain() {
  while (ShowCursor(TRUE) < 0) {
  }
}

void StopFrameTimer() {
  if (frameTimerId != 0) {
    timeKillEvent(frameTimerId);  // returns only once a running callback has finished
    frameTimerId = 0;
  }
}

void CloseFrameEvent() {
  // Detached first, so that a late callback finds no event rather than a closed one.
  if (HANDLE event = frameEvent.exchange(nullptr)) CloseHandle(event);
}

void DestroyMainWindow() {
  if (mainWindow) DestroyWindow(mainWindow);
  mainWindow = nullptr;
  UnregisterClassA(kClassName, instanceHandle);
}

int ErrorExit(const char* text) {
  // Timer and display go first, so that the message is not covered by the exclusive display.
  StopFrameTimer();
  ShutdownDisplay();
  DestroyDisplay();
  displayReleased = true;

  PumpMessages();
  DestroyMainWindow();
  PumpMessages();
  ShowCursorAgain();
  MessageBoxA(nullptr, text, "Error", MB_OK);

  CloseFrameEvent();
  AudioStop();
  AudioDestroy();
  displayMode = 2;
  PostQuitMessage(-1);
  return -1;
}

int Shutdown() {
  ShutdownDisplay();
  displayReleased = true;
  DestroyDisplay();
  ShowCursorAgain();
  StopFrameTimer();
  CloseFrameEvent();
  AudioStop();
  AudioDestroy();
  displayMode = 2;
  DestroyMainWindow();
  PostQuitMessage(0);
  return 0;
}

void CreateMainWindow(int showCommand) {
  WNDCLASSA windowClass{};
  windowClass.style = 0;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instanceHandle;
  windowClass.hIcon = programIcon;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = windowed ? static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)) : nullptr;
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);

  if (windowed) {
    mainWindow = CreateWindowExA(0, kClassName, kTitle, WS_POPUP | WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                 kWindowWidth, kWindowHeight, nullptr, nullptr, instanceHandle, nullptr);
    ShowWindow(mainWindow, showCommand);
  } else {
    mainWindow = CreateWindowExA(0, kClassName, kTitle, WS_POPUP, 0, 0, kWindowWidth, kWindowHeight, nullptr, nullptr,
                                 instanceHandle, nullptr);
    ShowWindow(mainWindow, SW_SHOWMAXIMIZED);
  }
  UpdateWindow(mainWindow);
  if (!windowed) {
    while (ShowCursor(FALSE) >= 0) {
    }
  }
}

// The transition after a finished scene; returns the error text when a set-up failed.
const char* AdvanceScene() {
  if (currentScene == 1 && AudioStart()) return "audio failed";
  if (currentScene == 0) {
    if (windowed) {
      SetClassLongPtrA(mainWindow, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetStockObject(BLACK_BRUSH)));
      InvalidateRect(mainWindow, nullptr, TRUE);
      if (InitDisplay(1, mainWindow, PumpMessages)) return "init windowed failed";
    } else if (InitDisplay(0, mainWindow, PumpMessages)) {
      return "init 640x480 16bit failed";
    }
  }
  if (currentScene == 14) {
    if (threadInfo) threadInfo->seekPending = 1;
    SwitchScene(2);
  } else if (currentScene != kQuitScene) {
    SwitchScene(currentScene + 1);
  }
  sceneDone = false;
  return nullptr;
}

void RunFrame() {
  frameCounter.fetch_add(1);
  const int32_t now = tickCount.load();
  // Unsigned difference: the tick counter may wrap.
  const int ticks = static_cast<int>(static_cast<uint32_t>(now) - static_cast<uint32_t>(lastFrameTicks));
  if (!timePaused) {
    UpdateScene(ticks);
    AudioAdvance(ticks);
  }
  lastFrameTicks = now;
  RenderScene();
  if (showFrameRate && currentScene != 0) DrawFrameRate(frameRate.load());
  if (currentScene != 0 && currentScene != 1) PresentFrame();
}

RECT ClientOnScreen(HWND window, LONG width, LONG height) {
  POINT topLeft{0, 0}, bottomRight{width, height};
  ClientToScreen(window, &topLeft);
  ClientToScreen(window, &bottomRight);
  return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}
}  // namespace

void CALLBACK FrameTimerCallback(UINT id, UINT message, DWORD_PTR user, DWORD_PTR unused1, DWORD_PTR unused2) {
  if (!appActive || displayBusy) return;
  tickCount.fetch_add(1);
  if (rateCountdown.fetch_sub(1) <= 0) {
    rateCountdown = 70;
    frameRate = frameCounter.load();
    frameCounter = 0;
  }
  if (HANDLE event = frameEvent.load()) SetEvent(event);
}

void StartFrameTimer(UINT periodMs) {
  StopFrameTimer();
  frameTimerId = timeSetEvent(periodMs, 0, FrameTimerCallback, 0, TIME_PERIODIC);
}

bool PumpMessages() {
  for (int n = 0; n < kMessagesPerPump; ++n) {
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
    if (message.message == WM_QUIT) return true;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return false;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
    case WM_CLOSE:
      currentScene = kQuitScene;
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ACTIVATE:
      if (displayBusy || displayMode == 1) return 0;
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (displayMode != 2) ShowWindow(window, SW_MINIMIZE);
        timePaused = true;
        appActive = false;
      } else {
        timePaused = false;
        appActive = true;
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        currentScene = kQuitScene;
      } else if (wParam == VK_CONTROL) {
        showFrameRate = true;
      } else if (wParam == VK_PAUSE || wParam == 'P' || wParam == VK_SCROLL) {
        if (appActive) timePaused = !timePaused;
      }
      return 0;
    case WM_KEYUP:
      if (wParam == VK_CONTROL) showFrameRate = false;
      return 0;
    case WM_MOVE:
    case WM_MOVING:
      overlayDirty = true;
      if (displayMode == 1 && !displayReleased) {
        RECT client{};
        GetClientRect(window, &client);
        RECT destination = ClientOnScreen(window, client.right, client.bottom);
        PlaceOverlay(true, &destination);
      }
      break;
    case WM_SIZING:
      overlayDirty = true;
      break;
    case WM_SIZE:
      if (displayMode == 1 && !displayReleased) {
        RECT destination = ClientOnScreen(window, LOWORD(lParam), HIWORD(lParam));
        PlaceOverlay(wParam != SIZE_MINIMIZED, &destination);
      }
      overlayDirty = true;
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
  // Before anything else, so that --help and a mistyped option need no display or sound.
  LaunchOptions options;
  std::string optionsError;
  switch (ParseCommandLine(commandLine, options, optionsError)) {
    case OptionsOutcome::Help: ShowUsage(std::string()); return 0;
    case OptionsOutcome::Version: ShowVersion(); return 0;
    case OptionsOutcome::Bad: ShowUsage(optionsError); return kBadOptions;
    case OptionsOutcome::Run: break;
  }
  ResetShellState();
  FloatingPointMode floatingPoint;

  SeedRandom(LocalTimeSeconds());
  instanceHandle = instance;
  programIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  EnumerateDevices();
  AudioCreate();
  if (const std::string missing = PresetRangeError(options); !missing.empty()) {
    ShowUsage(missing);
    DestroyDisplay();
    AudioDestroy();
    return kBadOptions;
  }
  if (ShowSettingsDialog(options)) {
    DestroyDisplay();
    AudioDestroy();
    PostQuitMessage(-1);
    return -1;
  }
  CreateMainWindow(showCommand);
  PumpMessages();
  running = true;
  floatingPoint.Enter();
  frameEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  PumpMessages();
  SwitchScene(0);
  StartFrameTimer(kFramePeriodMs);

  while (running) {
    if (sceneDone) {
      if (const char* failure = AdvanceScene()) return ErrorExit(failure);
    }
    HANDLE event = frameEvent.load();
    const DWORD woken = MsgWaitForMultipleObjects(1, &event, FALSE, kFrameWaitMs, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0 && appActive) RunFrame();
    if (PumpMessages()) running = false;
    if (currentScene == kQuitScene) {
      currentScene = -1;
      running = false;
    }
  }
  return Shutdown();
}
