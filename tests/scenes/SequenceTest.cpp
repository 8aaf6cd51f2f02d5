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
#include "app/Settings.h"
#include "audio/Out_base.h"
#include "player/Xmplayer.h"
#include "testing.h"

namespace {

namespace vt = vemora::testing;

constexpr int kGo = 108, kLoopBox = 111;

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
void (*onStart)(int scene) = nullptr;

uint32_t Heard() { return audibleInfo ? audibleInfo->position.load() : 0; }

// Pass-through scenes: they log what the sequencer asks and run the real table's operations.
template <int N>
void Start() {
  events.push_back("start " + std::to_string(N));
  visits.push_back({N, {}});
  if (onStart) onStart(N);
  if (real[N].start) real[N].start();
}
template <int N>
bool Update(int ticks) {
  visits.back().heard.push_back(Heard());
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
  ((sceneTable[N] = SceneOps{Start<N>, Update<N>, Render<N>, End<N>, real[N].endOrder, real[N].endRow, real[N].wholeFrame}),
   ...);
}

class Sequence : public ::testing::Test {
 protected:
  void SetUp() override {
    std::copy(sceneTable, sceneTable + kSceneCount, real);
    Trace(std::make_index_sequence<kSceneCount>());
    events.clear();
    visits.clear();
    onStart = nullptr;
  }
  void TearDown() override {
    std::copy(real, real + kSceneCount, sceneTable);
    onStart = nullptr;
    vt::ResetHost();
  }
  static int Run(bool loop) {
    vt::HeadlessOptions options;
    options.timeLimitMs = 600 * 1000;
    options.limitAction = vt::LimitAction::Abort;
    vt::UseHeadlessHost(options);
    std::vector<vt::DialogStep> dialog;
    if (loop) dialog.push_back(vt::DialogStep::CheckBox(kLoopBox));
    dialog.push_back(vt::DialogStep::Press(kGo));
    vt::AnswerNextDialog(dialog);
    return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
  }
  static void QuitAtStart(int scene, int visit) {
    static int target, count;
    target = scene;
    count = visit;
    onStart = [](int n) {
      if (n == target && --count == 0) PostMessageA(mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    };
  }
  // The trigger that ends `visit` is reached at its last update and not before.
  static void ExpectCutOnTrigger(const Visit& visit) {
    const uint32_t trigger = kTriggers[visit.scene - 3];
    ASSERT_FALSE(visit.heard.empty()) << visit.scene;
    EXPECT_GE(visit.heard.back(), trigger) << "scene " << visit.scene;
    for (size_t i = 0; i + 1 < visit.heard.size(); ++i)
      ASSERT_LT(visit.heard[i], trigger) << "scene " << visit.scene << " update " << i;
  }
};

TEST_F(Sequence, LoopingShowCutsScenesOnTheSongAndStartsAgainFromTheTopWithTheSong) {
  QuitAtStart(4, 2);
  EXPECT_EQ(Run(true), 0);

  std::vector<std::string> expected;
  for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 2, 3}) {
    expected.push_back("start " + std::to_string(n));
    expected.push_back("end " + std::to_string(n));
  }
  expected.push_back("start 4");
  EXPECT_EQ(events, expected);
  ASSERT_EQ(visits.size(), 18u);

  EXPECT_EQ(visits[1].heard.size(), 210u);  // the pause
  EXPECT_EQ(visits[2].heard.size(), 756u);  // until the lower logo has faded out
  for (int n = 3; n <= 13; ++n) ExpectCutOnTrigger(visits[n]);
  EXPECT_EQ(visits[14].heard.size(), 3905u);  // 61 lines of 64 pixels, then the update that reports it

  // The song went back to its start for the second pass, which is cut on the same positions.
  const Visit& again = visits[15];
  EXPECT_EQ(again.heard.size(), 756u);
  EXPECT_LT(*std::min_element(again.heard.begin(), again.heard.end()), Position(0, 8));
  ExpectCutOnTrigger(visits[16]);
  // Up to one ring of blocks rendered before the move is still heard first.
  EXPECT_GE(visits[16].heard.size(), visits[3].heard.size());
  EXPECT_LE(visits[16].heard.size(), visits[3].heard.size() + 64);
}

// A stall during scene 4 carries the song past the ends of scenes 5 and 6: each still starts,
// runs one update and ends, and the sequence catches up with the music.
TEST_F(Sequence, ScenesWhoseTriggerHasPassedEndAfterOneUpdate) {
  onStart = [](int n) {
    if (n == 4) vt::ChargeFrame(vt::VirtualTimeMs(), 35000);
    if (n == 8) PostMessageA(mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
  };
  EXPECT_EQ(Run(false), 0);
  ASSERT_EQ(visits.size(), 9u);
  for (int n = 3; n <= 6; ++n) {
    EXPECT_EQ(events[2 * n], "start " + std::to_string(n));
    EXPECT_EQ(events[2 * n + 1], "end " + std::to_string(n));
  }
  EXPECT_GT(visits[4].heard.size(), 1u);
  EXPECT_GE(visits[4].heard.back(), Position(8, 0));
  EXPECT_EQ(visits[5].heard.size(), 1u);
  EXPECT_EQ(visits[6].heard.size(), 1u);
  ExpectCutOnTrigger(visits[7]);
  EXPECT_GT(visits[7].heard.size(), 1u);
}

}  // namespace
