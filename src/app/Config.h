// The scene sequence and the Settings dialog.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "app/Options.h"

// One scene: what runs when it is entered, on every frame, to draw it, and when it is left.
struct SceneOps {
  void (*start)();
  bool (*update)(int ticks);  // true: the effect has finished
  void (*render)();
  void (*end)();
  int32_t endOrder;           // >= 0: the scene ends once the song reaches (endOrder, endRow);
  int32_t endRow;             //   otherwise the update's own result ends it
  bool wholeFrame;            // the render leaves the whole frame in the back surface
};

constexpr int kSceneCount = 15;      // scenes 0..14
constexpr int kQuitScene = 15;       // never entered: the window procedure writes it

extern SceneOps sceneTable[kSceneCount];
extern int32_t currentScene;         // -1 before the first scene
extern bool sceneDone;

void SwitchScene(int n);
void UpdateScene(int ticks);
void RenderScene();

// true when the user quit (Quit, closed, or the dialog could not open). Options preset the controls.
bool ShowSettingsDialog(const LaunchOptions& options);
// What is wrong with the options' device numbers for the devices found; empty when they fit.
std::string PresetRangeError(const LaunchOptions& options);
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
