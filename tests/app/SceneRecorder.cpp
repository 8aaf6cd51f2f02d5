#include "SceneRecorder.h"

#include <array>
#include <utility>

#include "app/Myform.h"
#include "testing.h"

SceneLog sceneLogs[kSceneCount];
std::vector<std::string> sceneEvents;

int SceneLog::TotalTicks() const {
  int sum = 0;
  for (int t : ticks) sum += t;
  return sum;
}

namespace {
template <int N>
void Start() {
  SceneLog& log = sceneLogs[N];
  ++log.starts;
  log.received = 0;
  log.startTick = tickCount.load();
  sceneEvents.push_back("start " + std::to_string(N));
  if (log.onStart) log.onStart();
}

template <int N>
bool Update(int ticks) {
  SceneLog& log = sceneLogs[N];
  log.ticks.push_back(ticks);
  log.updateTimes.push_back(vemora::testing::VirtualTimeMs());
  log.received += ticks;
  if (log.onUpdate) log.onUpdate();
  return log.endAfter >= 0 && log.received >= log.endAfter;
}

template <int N>
void Render() {
  ++sceneLogs[N].renders;
  if (sceneLogs[N].onRender) sceneLogs[N].onRender();
}

template <int N>
void End() {
  ++sceneLogs[N].ends;
  sceneEvents.push_back("end " + std::to_string(N));
}

template <size_t... N>
constexpr std::array<SceneOps, sizeof...(N)> MakeRecorders(std::index_sequence<N...>) {
  return {SceneOps{Start<N>, Update<N>, Render<N>, End<N>, -1, 0, false}...};
}
const auto recorders = MakeRecorders(std::make_index_sequence<kSceneCount>());
}  // namespace

RecordedScenes::RecordedScenes(std::vector<int> scenes) {
  for (int i = 0; i < kSceneCount; ++i) {
    saved[i] = sceneTable[i];
    sceneLogs[i] = SceneLog{};
  }
  sceneEvents.clear();
  for (int n : scenes) sceneTable[n] = recorders[n];
}

RecordedScenes::~RecordedScenes() {
  for (int i = 0; i < kSceneCount; ++i) {
    sceneTable[i] = saved[i];
    sceneLogs[i] = SceneLog{};
  }
}
