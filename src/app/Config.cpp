#include "app/Config.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/Myform.h"
#include "app/Settings.h"
#include "audio/Out_base.h"
#include "display/Ddraw_wrap.h"
#include "display/Vscreentools.h"
#include "effects/Fx_blur.h"
#include "effects/Fx_marquelite.h"
#include "effects/Fx_marqueliteclose.h"
#include "effects/Fx_pause.h"
#include "effects/Fx_rotozoom.h"
#include "effects/Fx_shadebob.h"
#include "effects/Fx_water.h"
#include "effects/Pcx.h"
#include "effects/Shaders.h"

int32_t currentScene = -1;
bool sceneDone = false;

SceneOps sceneTable[kSceneCount] = {
    {DissolveStart, DissolveUpdate, DissolveRender, DissolveEnd, -1, 0, false},
    {[] { PauseStart(3); }, PauseUpdate, nullptr, nullptr, -1, 0, true},
    {PresentationStart, PresentationUpdate, PresentationRender, PresentationEnd, -1, 0, false},
    {TitleStart, TitleUpdate, TitleRender, TitleEnd, 3, 32, false},
    {CloseStart, CloseUpdate, CloseRender, nullptr, 4, 0, false},
    {StarsStart, StarsUpdate, StarsRender, StarsEnd, 6, 0, false},
    {RotozoomStart, RotozoomUpdate, RotozoomRender, nullptr, 8, 0, false},
    {nullptr, RotozoomUpdate, RotozoomBlendRender, RotozoomEnd, 10, 0, false},
    {[] { FlowStart(0); FlowResetPath(); }, FlowUpdatePath, FlowRender, nullptr, 11, 0, true},
    {nullptr, FlowUpdatePathBands, FlowRender, FlowEnd, 12, 0, true},
    {WaterStart, WaterUpdate, WaterRender, WaterEnd, 14, 0, true},
    {[] { FlowStart(1); FlowResetPath(); }, FlowUpdateRandom, FlowRender, FlowEnd, 15, 0, true},
    {BobsStart, BobsUpdate, BobsRender, BobsEnd, 16, 0, false},
    {[] { FlowStart(-1); FlowResetPath(); }, FlowUpdateWords, FlowRender, FlowEnd, 19, 48, true},
    // Ends only when the credits ran through with looping on.
    {StarsStart, StarsUpdate, CreditsRender, StarsEnd, -1, 0, false},
};

namespace {
bool InTable(int scene) { return scene >= 0 && scene < kSceneCount; }
}  // namespace

void SwitchScene(int n) {
  if (InTable(currentScene) && sceneTable[currentScene].end) sceneTable[currentScene].end();
  currentScene = n;
  if (InTable(n) && sceneTable[n].start) sceneTable[n].start();
}

void UpdateScene(int ticks) {
  if (currentScene == kQuitScene) {
    sceneDone = true;
    return;
  }
  if (!InTable(currentScene)) return;
  const SceneOps& scene = sceneTable[currentScene];
  bool finished = scene.update ? scene.update(ticks) : false;
  sceneDone = scene.endOrder >= 0 ? AudioPositionReached(scene.endOrder, scene.endRow) : finished;
}

void RenderScene() {
  if (!InTable(currentScene)) return;
  const SceneOps& scene = sceneTable[currentScene];
  if (scene.render) scene.render();
  if (scene.wholeFrame) frameInBackSurface = true;
}

namespace {
constexpr int kAudioList = 102, kRateBox = 103, kStereoBox = 104, kInterpolationBox = 105, kVideoList = 107,
              kGoButton = 108, kQuitButton = 109, kWindowedBox = 110, kLoopBox = 111;
const char* const kRates[] = {"100000", "65535", "45454", "44100", "22050", "11025"};
const char kDefaultRate[] = "45454";
constexpr int kRateChars = 18;  // read into a 20-byte buffer
constexpr int kFallbackRate = 11025;

// Both device lists in the order the dialog shows them; a missing name stays an empty entry,
// so that an item's index is still its device's.
std::vector<const char*> AudioListEntries() {
  std::vector<const char*> entries;
  for (const Out_Base* driver : drivers)
    if (driver)
      for (int32_t n = 0; n < driver->deviceCount; ++n)
        entries.push_back(driver->deviceNames && driver->deviceNames[n] ? driver->deviceNames[n] : "");
  return entries;
}

std::vector<const char*> VideoListEntries() {
  std::vector<const char*> entries;
  if (ddraw && ddraw->devices)
    for (int32_t n = 0; n < ddraw->deviceCount; ++n)
      entries.push_back(ddraw->devices[n].description ? ddraw->devices[n].description : "");
  return entries;
}

LRESULT AddItem(HWND dialog, int list, const char* text) {
  return SendDlgItemMessageA(dialog, list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

UINT CheckState(bool checked) { return checked ? BST_CHECKED : BST_UNCHECKED; }
bool Checked(HWND dialog, int box) { return IsDlgButtonChecked(dialog, box) == BST_CHECKED; }

// Leading white space, one optional sign, then digits up to the first other character; a value
// beyond 32 bits is held at the nearest limit instead of overflowing.
int32_t ParseRate(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = std::min<int64_t>(value * 10 + (*text - '0'), int64_t{1} << 32);
  return static_cast<int32_t>(std::clamp<int64_t>(negative ? -value : value, INT32_MIN, INT32_MAX));
}

void InitialiseDialog(HWND dialog) {
  for (const char* entry : VideoListEntries()) AddItem(dialog, kVideoList, entry);
  for (const char* entry : AudioListEntries()) AddItem(dialog, kAudioList, entry);
  SendDlgItemMessageA(dialog, kVideoList, CB_SETCURSEL, 0, 0);
  SendDlgItemMessageA(dialog, kAudioList, CB_SETCURSEL, 0, 0);
  LRESULT defaultRate = CB_ERR;
  for (const char* rate : kRates) {
    const LRESULT index = AddItem(dialog, kRateBox, rate);
    if (std::strcmp(rate, kDefaultRate) == 0) defaultRate = index;
  }
  SendDlgItemMessageA(dialog, kRateBox, CB_SETCURSEL, static_cast<WPARAM>(defaultRate), 0);
  SendDlgItemMessageA(dialog, kVideoList, CB_SETDROPPEDWIDTH, 150, 0);
  SendDlgItemMessageA(dialog, kAudioList, CB_SETDROPPEDWIDTH, 250, 0);
  CheckDlgButton(dialog, kStereoBox, CheckState(stereo));
  CheckDlgButton(dialog, kInterpolationBox, CheckState(interpolation));
  SetClassLongPtrA(dialog, GCLP_HICON, reinterpret_cast<LONG_PTR>(programIcon));
  RECT frame{};
  GetWindowRect(dialog, &frame);
  SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - frame.right) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - frame.bottom) / 2, 0, 0, SWP_NOSIZE);
}

void AcceptSettings(HWND dialog) {
  int32_t selection = static_cast<int32_t>(SendDlgItemMessageA(dialog, kAudioList, CB_GETCURSEL, 0, 0));
  for (int32_t i = 0; i < 2; ++i) {
    const int32_t count = drivers[i] ? drivers[i]->deviceCount : 0;
    if (selection < count) {
      audioDriver = i;
      audioDevice = selection;
      break;
    }
    selection -= count;
  }
  videoDevice = static_cast<int32_t>(SendDlgItemMessageA(dialog, kVideoList, CB_GETCURSEL, 0, 0));
  loopDemo = Checked(dialog, kLoopBox);
  char rate[20] = {};
  GetDlgItemTextA(dialog, kRateBox, rate, kRateChars + 1);
  rate[sizeof rate - 1] = 0;
  mixRate = ParseRate(rate);
  if (mixRate == 0) mixRate = kFallbackRate;
  interpolation = Checked(dialog, kInterpolationBox);
  stereo = 1;
  windowed = Checked(dialog, kWindowedBox);
  EndDialog(dialog, 0);
}

void ApplyPresets(HWND dialog, const LaunchOptions& options) {
  if (options.audio >= 0) SendDlgItemMessageA(dialog, kAudioList, CB_SETCURSEL, static_cast<WPARAM>(options.audio), 0);
  if (options.video >= 0) SendDlgItemMessageA(dialog, kVideoList, CB_SETCURSEL, static_cast<WPARAM>(options.video), 0);
  if (!options.rate.empty()) SetDlgItemTextA(dialog, kRateBox, options.rate.c_str());
  if (options.plain) CheckDlgButton(dialog, kInterpolationBox, BST_UNCHECKED);
  if (options.windowed) CheckDlgButton(dialog, kWindowedBox, BST_CHECKED);
  if (options.loop) CheckDlgButton(dialog, kLoopBox, BST_CHECKED);
  if (options.go) AcceptSettings(dialog);
}

std::string MissingDevice(const char* option, int index, const std::vector<const char*>& entries) {
  std::string text = std::string(option) + " " + std::to_string(index) + ": there is no such device; the list has";
  if (entries.empty()) return text + " none";
  text += ":";
  for (std::size_t n = 0; n < entries.size(); ++n) text += "\n  " + std::to_string(n) + "  " + entries[n];
  return text;
}
}  // namespace

bool ShowSettingsDialog(const LaunchOptions& options) {
  const LPARAM presets = options.Any() ? reinterpret_cast<LPARAM>(&options) : 0;
  return DialogBoxParamA(instanceHandle, MAKEINTRESOURCEA(1), mainWindow, SettingsDialogProc, presets) != 0;
}

std::string PresetRangeError(const LaunchOptions& options) {
  const std::vector<const char*> audio = AudioListEntries(), video = VideoListEntries();
  if (options.audio >= static_cast<int>(audio.size())) return MissingDevice("--audio", options.audio, audio);
  if (options.video >= static_cast<int>(video.size())) return MissingDevice("--video", options.video, video);
  return std::string();
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitialiseDialog(dialog);
      if (lParam) ApplyPresets(dialog, *reinterpret_cast<const LaunchOptions*>(lParam));
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == kGoButton)
        AcceptSettings(dialog);
      else if (LOWORD(wParam) == kQuitButton)
        EndDialog(dialog, -1);
      break;
    case WM_CLOSE:
      EndDialog(dialog, -1);
      break;
  }
  return 0;
}
