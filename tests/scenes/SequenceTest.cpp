// The whole show through the real entry point on the headless host: the scenes in order, each cut
// on the song as written.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "app/Config.h"
#include "app/Myform.h"
#include "audio/Out_base.h"
#include "player/Xmplayer.h"
#include "testing.h"

namespace {

namespace vt = vemora::testing;

uint32_t Position(int order, int row) { return static_cast<uint32_t>(order) << 16 | static_cast<uint32_t>(row); }

// The song positions that end scenes 3 to 13.
const std::array<uint32_t, 11> kTriggers = {Position(3, 32), Position(4, 0),  Position(6, 0),  Position(8, 0),
                                            Position(10, 0), Position(11, 0), Position(12, 0), Position(14, 0),
                                            Position(15, 0), Position(16, 0), Position(19, 48)};

// One visit of a scene: the heard song position at each of its updates.
struct Visit {
  int scene;
  std::vector<uint32_t> heard;
};

std::vector<std::string> events;
std::vector<Visit> visits;
SceneOps real[kSceneCount];

// Pass-through scenes: they log what the sequencer asks, then run the real table's operations.
template <int N>
void Start() {
  events.push_back("start " + std::to_string(N));
  visits.push_back({N, {}});
  const int visit = static_cast<int>(std::count_if(visits.begin(), visits.end(), [](const Visit& v) { return v.scene == N; }));
  if (N == 4 && visit == 1) vt::ChargeFrame(vt::VirtualTimeMs(), 35000);  // a stall carries the song past 6 and 8
  if (N == 4 && visit == 2) PostMessageA(mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
  if (real[N].start) real[N].start();
}
template <int N>
bool Update(int ticks) {
  visits.back().heard.push_back(audibleInfo ? audibleInfo->position.load() : 0);
  return real[N].update ? real[N].update(ticks) : false;
}
template <int N>
void Render() {
  if (real[N].render) real[N].render();
}
template <int N>
void End() {
  events.push_back("end " + std::to_string(N));
  if (real[N].end) real[N].end();
}
template <size_t... N>
void Trace(std::index_sequence<N...>) {
  ((sceneTable[N] = {Start<N>, Update<N>, Render<N>, End<N>, real[N].endOrder, real[N].endRow, real[N].wholeFrame}), ...);
}

// The trigger that ends `visit` is reached at its last update and not before.
void ExpectCutOnTrigger(const Visit& visit) {
  const uint32_t trigger = kTriggers[visit.scene - 3];
  ASSERT_FALSE(visit.heard.empty()) << visit.scene;
  EXPECT_GE(visit.heard.back(), trigger) << "scene " << visit.scene;
  for (size_t i = 0; i + 1 < visit.heard.size(); ++i) ASSERT_LT(visit.heard[i], trigger) << "scene " << visit.scene;
}

TEST(Sequence, LoopingShowCutsScenesOnTheSongCatchesUpAfterAStallAndStartsAgainWithTheSong) {
  std::copy(sceneTable, sceneTable + kSceneCount, real);
  Trace(std::make_index_sequence<kSceneCount>());
  vt::HeadlessOptions options;
  options.timeLimitMs = 600 * 1000;
  options.limitAction = vt::LimitAction::Abort;
  vt::UseHeadlessHost(options);
  vt::AnswerNextDialog({vt::DialogStep::CheckBox(111), vt::DialogStep::Press(108)});  // loop on, GO
  const int exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
  std::copy(real, real + kSceneCount, sceneTable);
  vt::ResetHost();
  EXPECT_EQ(exitCode, 0);

  std::vector<std::string> expected;
  for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 2, 3})
    for (const char* action : {"start ", "end "}) expected.push_back(action + std::to_string(n));
  expected.push_back("start 4");
  EXPECT_EQ(events, expected);
  ASSERT_EQ(visits.size(), 18u);

  EXPECT_EQ(visits[1].heard.size(), 210u);  // the pause
  EXPECT_EQ(visits[2].heard.size(), 756u);  // until the lower logo has faded out
  for (int n = 3; n <= 13; ++n) ExpectCutOnTrigger(visits[n]);
  // Scene 4 heard the jump only after its stalled update; 5 and 6 had passed when they started.
  EXPECT_GE(visits[4].heard.size(), 3u);
  EXPECT_EQ(visits[5].heard.size(), 1u);
  EXPECT_EQ(visits[6].heard.size(), 1u);
  EXPECT_GT(visits[7].heard.size(), 1u);
  EXPECT_EQ(visits[14].heard.size(), 3905u);  // 61 lines of 64 pixels, then the update that reports it

  // The second pass starts from the song's beginning and is cut on the same positions; up to one
  // ring of blocks rendered before the move is still heard first.
  EXPECT_EQ(visits[15].heard.size(), 756u);
  EXPECT_LT(*std::min_element(visits[15].heard.begin(), visits[15].heard.end()), Position(0, 8));
  ExpectCutOnTrigger(visits[16]);
  EXPECT_GE(visits[16].heard.size(), visits[3].heard.size());
  EXPECT_LE(visits[16].heard.size(), visits[3].heard.size() + 64);
}

}  // namespace
