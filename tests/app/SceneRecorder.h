// Scenes that record what the sequencer asks of them, installed into the real scene table.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/Config.h"

struct SceneLog {
  int starts = 0;
  int ends = 0;
  int renders = 0;
  std::vector<int> ticks;             // one entry per update
  std::vector<int64_t> updateTimes;   // virtual ms of each update
  int32_t startTick = -1;             // tickCount when last started
  int endAfter = -1;                  // ticks after which the update reports finished; -1 never
  int received = 0;
  std::function<void()> onStart, onUpdate, onRender;
  int TotalTicks() const;
};

extern SceneLog sceneLogs[kSceneCount];
extern std::vector<std::string> sceneEvents;  // "start 3", "end 3", in order

// Saves the real table, puts a recorder in every scene listed, and restores on destruction.
class RecordedScenes {
 public:
  explicit RecordedScenes(std::vector<int> scenes);
  ~RecordedScenes();
  RecordedScenes(const RecordedScenes&) = delete;
  RecordedScenes& operator=(const RecordedScenes&) = delete;

 private:
  SceneOps saved[kSceneCount];
};
