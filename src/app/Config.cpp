#include "app/Config.h"

#include "app/Myform.h"
#include "app/Settings.h"
#include "audio/Out_base.h"
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

// Settings dialog stand-in: GO takes the settings the full dialog gives when nothing is
// changed but the check boxes; Quit and closing end the program.
bool ShowSettingsDialog() {
  return DialogBoxParamA(instanceHandle, MAKEINTRESOURCEA(1), mainWindow, SettingsDialogProc, 0) != 0;
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      // GO is the resource's default button already; hosts without the resource learn it here.
      SendMessageA(dialog, DM_SETDEFID, 108, 0);
      CheckDlgButton(dialog, 104, stereo ? BST_CHECKED : BST_UNCHECKED);
      CheckDlgButton(dialog, 105, interpolation ? BST_CHECKED : BST_UNCHECKED);
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == 108) {
        audioDriver = 0;
        audioDevice = 0;
        videoDevice = 0;
        loopDemo = IsDlgButtonChecked(dialog, 111) == BST_CHECKED;
        mixRate = 45454;
        interpolation = IsDlgButtonChecked(dialog, 105) == BST_CHECKED;
        stereo = 1;
        windowed = IsDlgButtonChecked(dialog, 110) == BST_CHECKED;
        EndDialog(dialog, 0);
      } else if (LOWORD(wParam) == 109) {
        EndDialog(dialog, -1);
      }
      break;
    case WM_CLOSE:
      EndDialog(dialog, -1);
      break;
  }
  return 0;
}
