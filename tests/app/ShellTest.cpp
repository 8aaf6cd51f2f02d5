// The real entry point on the headless host, with recording scenes in the scene table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "SceneRecorder.h"
#include "app/Config.h"
#include "app/Myform.h"
#include "app/Random.h"
#include "app/Settings.h"
#include "audio/Out_base.h"
#include "display/Vscreentools.h"
#include "effects/Shaders.h"
#include "testing.h"

namespace vt = vemora::testing;

namespace {

constexpr uint64_t kTickMs = 15;
constexpr int kGo = 108, kQuit = 109, kWindowedBox = 110, kLoopBox = 111;

class Shell : public ::testing::Test {
 protected:
  void TearDown() override {
    vt::ResetHost();
  }
  // The Settings dialog is answered with GO unless other steps are given.
  static void Host(vt::HeadlessOptions options = {}, std::vector<vt::DialogStep> dialog = {}) {
    options.timeLimitMs = 120 * 1000;
    options.limitAction = vt::LimitAction::Abort;
    vt::UseHeadlessHost(options);
    if (dialog.empty()) dialog.push_back(vt::DialogStep::Press(kGo));
    vt::AnswerNextDialog(dialog);
  }
  static void HostWindowed() { Host({}, {vt::DialogStep::CheckBox(kWindowedBox), vt::DialogStep::Press(kGo)}); }
  static int Run() { return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT); }

  // Scenes before `scene` end after `ticksEach` ticks; `scene` itself never ends.
  static void RunUpTo(int scene, int ticksEach) {
    for (int n = 0; n < scene; ++n) sceneLogs[n].endAfter = ticksEach;
    sceneLogs[scene].endAfter = -1;
  }
  // Virtual ms at which `scene` starts when every scene before it ends after `ticksEach` ticks.
  static uint64_t StartOf(int scene, int ticksEach) { return kTickMs * ticksEach * scene; }

  static std::vector<int> AllScenes() {
    std::vector<int> all;
    for (int n = 0; n < kSceneCount; ++n) all.push_back(n);
    return all;
  }
};

// --- Quitting

class EscapeDuringScene : public Shell, public ::testing::WithParamInterface<int> {};

TEST_P(EscapeDuringScene, EndsAfterThatIterationWithoutTheSceneEndAction) {
  const int scene = GetParam();
  RecordedScenes recorded(AllScenes());
  RunUpTo(scene, 2);
  Host();
  const uint64_t escapeAt = StartOf(scene, 2) + 100;
  vt::KeyDown(escapeAt, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);

  for (int n = 0; n < scene; ++n) {
    EXPECT_EQ(sceneLogs[n].starts, 1) << n;
    EXPECT_EQ(sceneLogs[n].ends, 1) << n;
  }
  EXPECT_EQ(sceneLogs[scene].starts, 1);
  EXPECT_EQ(sceneLogs[scene].ends, 0);
  ASSERT_FALSE(sceneLogs[scene].updateTimes.empty());
  EXPECT_LE(sceneLogs[scene].updateTimes.back(), static_cast<int64_t>(escapeAt));
  for (int n = scene + 1; n < kSceneCount; ++n) EXPECT_EQ(sceneLogs[n].starts, 0) << n;
  EXPECT_FALSE(vt::MainWindow().exists);
  EXPECT_GE(vt::CursorDisplayCount(), 0);
  EXPECT_TRUE(vt::MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(MainLoop, EscapeDuringScene, ::testing::Values(0, 1, 2, 7, 14));

TEST_F(Shell, ClosingTheWindowEndsTheShowWithoutTheSceneEndAction) {
  RecordedScenes recorded(AllScenes());
  RunUpTo(3, 2);
  Host();
  vt::Close(StartOf(3, 2) + 200);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(sceneLogs[3].starts, 1);
  EXPECT_EQ(sceneLogs[3].ends, 0);
  EXPECT_EQ(sceneLogs[4].starts, 0);
  EXPECT_FALSE(vt::MainWindow().exists);
}

TEST_F(Shell, QuitMessageInTheQueueEndsTheShow) {
  RecordedScenes recorded(AllScenes());
  RunUpTo(2, 1);
  sceneLogs[2].onRender = [] {
    if (sceneLogs[2].renders == 3) PostQuitMessage(0);
  };
  Host();
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(sceneLogs[2].renders, 3);
  EXPECT_EQ(sceneLogs[2].ends, 0);
}

class QuitInSettings : public Shell, public ::testing::WithParamInterface<vt::DialogStep> {};

TEST_P(QuitInSettings, EndsWithMinusOneAndNoWindow) {
  RecordedScenes recorded(AllScenes());
  Host({}, {GetParam()});
  EXPECT_EQ(Run(), -1);
  const auto dialogs = vt::Dialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].templateId, 1u);
  EXPECT_EQ(dialogs[0].result, -1);
  EXPECT_FALSE(vt::MainWindow().exists);
  EXPECT_EQ(sceneLogs[0].starts, 0);
  EXPECT_TRUE(vt::MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Startup, QuitInSettings,
                         ::testing::Values(vt::DialogStep::Press(kQuit), vt::DialogStep::CloseBox()));

// The quit request reaches the window procedure inside the display set-up: the flood fills
// the last pump of scene 0, so the request waits in the queue for the set-up's own pump.
class QuitDuringDisplaySetUp : public Shell, public ::testing::WithParamInterface<UINT> {};

TEST_P(QuitDuringDisplaySetUp, StillEndsTheShow) {
  const UINT request = GetParam();
  RecordedScenes recorded(AllScenes());
  sceneLogs[0].endAfter = 5;
  sceneLogs[0].onRender = [request] {
    if (sceneLogs[0].received < 5) return;
    for (int i = 0; i < 2001; ++i) PostMessageA(mainWindow, WM_USER + 1, 0, 0);
    PostMessageA(mainWindow, request, request == WM_KEYDOWN ? VK_ESCAPE : 0, 0);
  };
  Host();
  EXPECT_EQ(Run(), 0);
  // One frame ran after the transition: the request was not taken before the set-up began.
  EXPECT_EQ(frameCounter.load(), sceneLogs[0].renders + 1);
  EXPECT_EQ(sceneLogs[0].ends, 0);
  EXPECT_EQ(sceneLogs[1].starts, 0);
  EXPECT_FALSE(vt::MainWindow().exists);
  EXPECT_TRUE(vt::MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(MainLoop, QuitDuringDisplaySetUp, ::testing::Values(WM_KEYDOWN, WM_CLOSE));

TEST_F(Shell, WindowedRunUsesAFramedWindowThatTurnsBlackForTheOverlay) {
  RecordedScenes recorded({0, 1});
  sceneLogs[0].endAfter = 1;
  vt::WindowState atStart, afterSetUp;
  int cursorCount = -5;
  int32_t modeAfterSetUp = -1;
  sceneLogs[0].onStart = [&] {
    atStart = vt::MainWindow();
    cursorCount = vt::CursorDisplayCount();
  };
  sceneLogs[1].onStart = [&] {
    afterSetUp = vt::MainWindow();
    modeAfterSetUp = displayMode;
  };
  HostWindowed();
  vt::KeyDown(200, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(atStart.style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE), static_cast<DWORD>(WS_POPUP | WS_OVERLAPPEDWINDOW));
  EXPECT_EQ(atStart.background, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(atStart.windowRect.right - atStart.windowRect.left, 640);
  EXPECT_EQ(atStart.windowRect.bottom - atStart.windowRect.top, 480);
  EXPECT_FALSE(atStart.maximised);
  EXPECT_EQ(cursorCount, 0);
  EXPECT_EQ(afterSetUp.background, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(modeAfterSetUp, 1);
}

TEST_F(Shell, WindowedShowKeepsRunningWhenAnotherApplicationIsActive) {
  RecordedScenes recorded(AllScenes());
  RunUpTo(2, 1);
  bool minimised = false;
  sceneLogs[2].onUpdate = [&] { minimised = minimised || vt::MainWindow().minimised; };
  HostWindowed();
  vt::Activate(1000, false);
  vt::KeyDown(2000, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  int whileAway = 0;
  for (int64_t t : sceneLogs[2].updateTimes) whileAway += t > 1000;
  EXPECT_GE(whileAway, 60);
  EXPECT_FALSE(minimised);
}

TEST_F(Shell, WindowedSetUpFailureShowsItsOwnText) {
  RecordedScenes recorded(AllScenes());
  RunUpTo(2, 1);
  HostWindowed();
  vt::DirectDrawFaults noOverlay;
  noOverlay.noOverlay = true;
  vt::InjectDirectDrawFaults(noOverlay);
  EXPECT_EQ(Run(), -1);
  const auto boxes = vt::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "init windowed failed");
  EXPECT_EQ(boxes[0].caption, "Error");
}

TEST_F(Shell, ScenesComputeWithRoundingTowardZeroAndTheCallerGetsItsModeBack) {
  RecordedScenes recorded({0});
  int mode = -1;
  uint32_t twoThirds = 0;
  sceneLogs[0].onUpdate = [&] {
    mode = std::fegetround();
    volatile float two = 2.0f, three = 3.0f;
    const float q = two / three;
    std::memcpy(&twoThirds, &q, 4);
  };
  Host();
  vt::KeyDown(100, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(mode, FE_TOWARDZERO);
  EXPECT_EQ(twoThirds, 0x3F2AAAAAu);  // round to nearest would give 0x3F2AAAAB
  EXPECT_EQ(std::fegetround(), FE_TONEAREST);
}

// --- Scene sequence

TEST_F(Shell, ScenesFollowInOrderAndReturnFromFourteenToTwoWithTheSongRestarted) {
  RecordedScenes recorded(AllScenes());
  for (int n = 0; n < kSceneCount; ++n) sceneLogs[n].endAfter = 3;
  bool displayAtScene1 = false, audioAtScene1 = true, audioAtScene2 = false;
  int seekAtFirstScene2 = -1, seekAtSecondScene2 = -1;
  sceneLogs[1].onStart = [&] {
    displayAtScene1 = displayMode == 0 && vscreen != nullptr;
    audioAtScene1 = threadInfo != nullptr;
  };
  sceneLogs[2].onStart = [&] {
    audioAtScene2 = threadInfo != nullptr;
    if (!threadInfo) return;
    (sceneLogs[2].starts == 1 ? seekAtFirstScene2 : seekAtSecondScene2) = threadInfo->seekPending.load();
  };
  Host();
  vt::KeyDown(StartOf(15, 3) + 10, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);

  std::vector<std::string> expected;
  for (int n = 0; n <= 14; ++n) {
    expected.push_back("start " + std::to_string(n));
    expected.push_back("end " + std::to_string(n));
  }
  expected.push_back("start 2");
  EXPECT_EQ(sceneEvents, expected);
  EXPECT_TRUE(displayAtScene1);
  EXPECT_FALSE(audioAtScene1);
  EXPECT_TRUE(audioAtScene2);
  EXPECT_EQ(seekAtFirstScene2, 0);
  EXPECT_EQ(seekAtSecondScene2, 1);
}

class CreditsScene : public Shell, public ::testing::WithParamInterface<bool> {};

TEST_P(CreditsScene, EndThePassOnlyWhenTheShowLoops) {
  const bool loop = GetParam();
  std::vector<int> recordedScenes;
  for (int n = 0; n < 14; ++n) recordedScenes.push_back(n);
  RecordedScenes recorded(recordedScenes);
  for (int n = 0; n < 14; ++n) sceneLogs[n].endAfter = 1;
  std::vector<vt::DialogStep> dialog;
  if (loop) dialog.push_back(vt::DialogStep::CheckBox(kLoopBox));
  dialog.push_back(vt::DialogStep::Press(kGo));
  Host({}, dialog);
  // The credits take 3904 ticks to run through.
  vt::KeyDown((14 + 3904) * kTickMs + 2000, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(loopDemo, loop);
  EXPECT_EQ(sceneLogs[2].starts, loop ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(Sequence, CreditsScene, ::testing::Bool());

TEST_F(Shell, SceneZeroDissolvesTheWindowToBlackInAbout142Ticks) {
  RecordedScenes recorded({1});
  sceneLogs[1].endAfter = 1;
  bool allBlack = false;
  int32_t tickAtScene1 = -1;
  sceneLogs[1].onStart = [&] {
    tickAtScene1 = tickCount.load();
    vt::Picture picture = vt::WindowPixels();
    allBlack = picture.width == 640 && picture.height == 480;
    for (uint32_t p : picture.pixels) allBlack = allBlack && p == 0;
  };
  Host();
  vt::KeyDown(5000, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(allBlack);
  // 64 cells, one every second tick from tick 2, each closing over 14 ticks.
  EXPECT_EQ(tickAtScene1, 142);
  EXPECT_GE(dissolveStyle, 0);
  EXPECT_LE(dissolveStyle, 4);
}

TEST_F(Shell, PauseSceneLasts210TicksAndShowsNothingNew) {
  RecordedScenes recorded({0, 2});
  sceneLogs[0].endAfter = 1;
  Host();
  vt::KeyDown(5000, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(sceneLogs[2].startTick, 1 + 210);
}

TEST_F(Shell, FirstFrameAfterThePauseOnlyFlipsThenTheVirtualScreenIsShown) {
  RecordedScenes recorded({0, 2});
  sceneLogs[0].endAfter = 1;
  std::vector<uint32_t> shown;  // centre pixel of the display before each render of scene 2
  sceneLogs[2].onRender = [&] {
    // Neutral grey stands for "nothing presented yet".
    shown.push_back(vt::PresentedFrameCount() == 0 ? vt::kNeutralPixel : vt::DirectDrawDisplay().visible.at(320, 240));
    for (int i = 0; i < 640 * 480; ++i) vscreen[i] = 0xF800;  // full red in 5:6:5
  };
  Host();
  vt::KeyDown(15 * (1 + 210 + 3) + 7, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0], vt::kNeutralPixel);  // nothing was presented during scenes 0 and 1
  EXPECT_EQ(shown[1], 0u);                 // the pause left its frame in the back surface: a flip only
  EXPECT_EQ(shown[2] & 0x00FFFF, 0u);      // then the virtual screen, red
  EXPECT_GE(shown[2] >> 16, 0xF8u);
}

TEST_F(Shell, DissolveIsTheSameForTheSameClockAndDiffersForAnother) {
  auto dissolveOf = [this](int64_t epoch) {
    RecordedScenes recorded({1});
    sceneLogs[1].endAfter = -1;
    vt::HeadlessOptions options;
    options.epochSeconds = epoch;
    Host(options);
    vt::KeyDown(100, VK_ESCAPE);
    EXPECT_EQ(Run(), 0);
    vt::ResetHost();
    std::vector<int32_t> order(cellOrder, cellOrder + 64);
    order.push_back(dissolveStyle);
    return order;
  };
  const std::vector<int32_t> first = dissolveOf(946728000);
  EXPECT_EQ(dissolveOf(946728000), first);
  EXPECT_NE(dissolveOf(946728001), first);
  std::vector<int32_t> cells(first.begin(), first.begin() + 64);
  std::sort(cells.begin(), cells.end());
  for (int i = 0; i < 64; ++i) EXPECT_EQ(cells[i], i);
}

// --- Timing

TEST_F(Shell, SlowFrameGivesTheNextUpdateTheTicksThatPassed) {
  RecordedScenes recorded({0});
  Host();
  vt::ChargeFrame(500, 40);
  vt::KeyDown(1000, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);

  const SceneLog& log = sceneLogs[0];
  int slow = 0;
  for (size_t i = 0; i < log.ticks.size(); ++i) {
    if (log.ticks[i] != 1) {
      ++slow;
      EXPECT_TRUE(log.ticks[i] == 2 || log.ticks[i] == 3) << log.ticks[i];
      EXPECT_GE(log.updateTimes[i], 540);
    }
  }
  EXPECT_EQ(slow, 1);
  // Every counted tick reached the scene.
  EXPECT_EQ(log.TotalTicks(), tickCount.load() - log.startTick);
}

TEST_F(Shell, TickCounterWrapsWithoutHarm) {
  RecordedScenes recorded({0});
  sceneLogs[0].onStart = [] {
    tickCount = INT32_MAX - 5;
    lastFrameTicks = INT32_MAX - 5;
  };
  Host();
  vt::KeyDown(20 * kTickMs + 7, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(sceneLogs[0].ticks, std::vector<int>(20, 1));
  EXPECT_LT(tickCount.load(), 0);
}

TEST_F(Shell, FrameRateLatchesOnEvery71stCountedTick) {
  RecordedScenes recorded({0});
  std::vector<std::pair<int32_t, int32_t>> seen;  // (tick, frameRate) at each update
  sceneLogs[0].onUpdate = [&] { seen.emplace_back(tickCount.load(), frameRate.load()); };
  Host();
  vt::KeyDown(300 * kTickMs + 7, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(seen.size(), 300u);
  for (auto [tick, rate] : seen) {
    // One frame per tick: the first latch sees the 70 frames before it, every later one 71.
    const int expected = tick < 71 ? 0 : tick < 142 ? 70 : 71;
    ASSERT_EQ(rate, expected) << "tick " << tick;
  }
}

// --- Keys

TEST_F(Shell, PauseTwiceResumesWithoutLosingSceneTimeOrAdvancingTheSong) {
  RecordedScenes recorded(AllScenes());
  RunUpTo(2, 1);
  std::vector<int64_t> renderTimes;
  sceneLogs[2].onRender = [&] { renderTimes.push_back(static_cast<int64_t>(vt::VirtualTimeMs())); };
  Host();
  vt::KeyPress(1000, 'P', 30);
  vt::KeyPress(2000, 'P', 30);
  vt::KeyDown(3000, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);

  const SceneLog& log = sceneLogs[2];
  int updatesWhilePaused = 0, rendersWhilePaused = 0;
  for (int64_t t : log.updateTimes) updatesWhilePaused += t > 1000 && t <= 2000;
  for (int64_t t : renderTimes) rendersWhilePaused += t > 1000 && t <= 2000;
  EXPECT_EQ(updatesWhilePaused, 0);
  EXPECT_GE(rendersWhilePaused, 60);  // frames go on while paused
  // No update ever received more than one tick: the paused time was never replayed.
  EXPECT_EQ(log.ticks, std::vector<int>(log.ticks.size(), 1));
  EXPECT_GT(log.ticks.size(), 100u);
  // The song position moved exactly as far as the scene (the player stays ahead of it).
  EXPECT_EQ(readSlot.load(), log.TotalTicks() % ringSize);
}

TEST_F(Shell, AutoRepeatOfThePauseKeyTogglesEachTime) {
  RecordedScenes recorded(AllScenes());
  RunUpTo(2, 1);
  Host();
  // Down at 1000, repeats at 1500, 1533, 1566: four toggles leave the show running.
  vt::KeyPress(1000, VK_PAUSE, 590, 500, 33);
  vt::KeyPress(2500, VK_SCROLL, 30);
  vt::KeyDown(3000, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  int between = 0, after = 0;
  for (int64_t t : sceneLogs[2].updateTimes) {
    between += t > 1000 && t < 1500;
    after += t > 1600 && t <= 2500;
  }
  EXPECT_EQ(between, 0);
  EXPECT_GT(after, 50);
  EXPECT_LE(sceneLogs[2].updateTimes.back(), 2500);
}

TEST_F(Shell, CtrlShowsTheLatchedRateUntilReleased) {
  RecordedScenes recorded(AllScenes());
  RunUpTo(2, 1);
  // Each render checks what the previous frame left in the top-left corner, then marks it.
  bool previousShown = false;
  int32_t previousRate = -1;
  int digitFrames = 0, markerFrames = 0, wrong = 0;
  sceneLogs[2].onRender = [&] {
    if (previousRate >= 0) {
      bool digits = true, marker = true;
      const int32_t d[4] = {previousRate / 1000 % 10, previousRate / 100 % 10, previousRate / 10 % 10, previousRate % 10};
      for (int k = 0; k < 4; ++k)
        for (int y = 0; y < 5; ++y)
          for (int x = 0; x < 3; ++x) {
            digits = digits && vscreen[y * 640 + 4 * k + x] == digitFont[d[k] * 15 + y * 3 + x];
            marker = marker && vscreen[y * 640 + 4 * k + x] == 0x1234;
          }
      if (previousShown) {
        digitFrames += digits;
        wrong += !digits;
      } else {
        markerFrames += marker;
        wrong += !marker;
      }
    }
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 16; ++x) vscreen[y * 640 + x] = 0x1234;
    previousRate = frameRate.load();
    previousShown = showFrameRate;
  };
  Host();
  vt::KeyDown(1000, VK_CONTROL);
  vt::KeyUp(3000, VK_CONTROL);
  vt::KeyDown(4000, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(digitFrames, 120);
  EXPECT_GT(markerFrames, 120);
}

// --- Activation

TEST_F(Shell, FullScreenSwitchAwayMinimisesStopsTicksAndComingBackClearsThePause) {
  RecordedScenes recorded(AllScenes());
  RunUpTo(2, 1);
  std::vector<std::pair<int64_t, int32_t>> renders;  // (virtual ms, tick)
  bool minimisedWhenBack = false;
  sceneLogs[2].onRender = [&] {
    const int64_t now = static_cast<int64_t>(vt::VirtualTimeMs());
    if (now >= 2000 && (renders.empty() || renders.back().first < 2000)) minimisedWhenBack = vt::MainWindow().minimised;
    renders.emplace_back(now, tickCount.load());
  };
  Host();
  vt::KeyPress(500, 'P', 30);
  vt::Activate(1000, false);
  vt::Activate(2000, true);
  vt::KeyDown(3000, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(minimisedWhenBack);  // activation alone does not restore the window

  int32_t lastTickBefore = -1, firstTickAfter = -1;
  int rendersAway = 0;
  for (auto [t, tick] : renders) {
    if (t <= 1000) lastTickBefore = tick;
    if (t > 1000 && t < 2000) ++rendersAway;
    if (t >= 2000 && firstTickAfter < 0) firstTickAfter = tick;
  }
  EXPECT_EQ(rendersAway, 0);
  EXPECT_EQ(firstTickAfter - lastTickBefore, 1);  // no ticks were counted while away
  // The user's pause (from 500) was cleared by coming back: updates run again after 2000.
  int updatesPaused = 0, updatesAfter = 0;
  for (int64_t t : sceneLogs[2].updateTimes) {
    updatesPaused += t > 500 && t < 2000;
    updatesAfter += t >= 2000;
  }
  EXPECT_EQ(updatesPaused, 0);
  EXPECT_GT(updatesAfter, 50);
}

// --- Messages

TEST_F(Shell, MessageFloodIsCutAt2001PerPump) {
  RecordedScenes recorded({0});
  int removedByPump = -1;
  bool quitSeen = true;
  sceneLogs[0].onRender = [&] {
    if (sceneLogs[0].renders != 2) return;
    for (int i = 0; i < 5000; ++i) PostMessageA(mainWindow, WM_USER + 7, 0, 0);
    quitSeen = PumpMessages();
    int left = 0;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) left += message.message == WM_USER + 7;
    removedByPump = 5000 - left;
  };
  Host();
  vt::KeyDown(200, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  EXPECT_FALSE(quitSeen);
  EXPECT_EQ(removedByPump, 2001);
}

// --- Window and cursor

TEST_F(Shell, FullScreenWindowIsAMaximisedPopupWithHiddenCursor) {
  RecordedScenes recorded({0});
  vt::WindowState window;
  int cursorCount = 0;
  sceneLogs[0].onStart = [&] {
    window = vt::MainWindow();
    cursorCount = vt::CursorDisplayCount();
  };
  Host();
  vt::KeyDown(100, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(window.exists);
  EXPECT_EQ(window.title, "Vemora - Halvorine");
  EXPECT_EQ(window.className, "vemora1wndclass");
  EXPECT_EQ(window.style & ~(WS_VISIBLE | WS_MAXIMIZE), static_cast<DWORD>(WS_POPUP));
  EXPECT_TRUE(window.maximised);
  EXPECT_EQ(window.background, nullptr);
  EXPECT_EQ(cursorCount, -1);
  EXPECT_EQ(vt::CursorDisplayCount(), 0);
}

// --- Failures

struct Failure {
  const char* name;
  bool display;
  const char* text;
};

class ErrorExit : public Shell, public ::testing::WithParamInterface<Failure> {};

TEST_P(ErrorExit, ShowsItsTextUnderErrorAndReturnsMinusOne) {
  const Failure& failure = GetParam();
  RecordedScenes recorded(AllScenes());
  RunUpTo(3, 2);
  Host();
  if (failure.display) {
    vt::DirectDrawFaults refusedMode;
    refusedMode.refuseDisplayMode = true;
    vt::InjectDirectDrawFaults(refusedMode);
  } else {
    vt::FailWaveOutOpen();
  }
  EXPECT_EQ(Run(), -1);
  const auto boxes = vt::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, failure.text);
  EXPECT_EQ(boxes[0].caption, "Error");
  EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_FALSE(vt::MainWindow().exists);
  EXPECT_GE(vt::CursorDisplayCount(), 0);
  // The scene after the failed transition never starts, and the one before never ends.
  const int failedAfter = failure.display ? 0 : 1;
  EXPECT_EQ(sceneLogs[failedAfter].ends, 0);
  EXPECT_EQ(sceneLogs[failedAfter + 1].starts, 0);
  EXPECT_EQ(vscreen, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Shell, ErrorExit,
                         ::testing::Values(Failure{"FullScreenDisplay", true, "init 640x480 16bit failed"},
                                           Failure{"Audio", false, "audio failed"}),
                         [](const ::testing::TestParamInfo<Failure>& info) { return std::string(info.param.name); });

// --- Random generator

TEST(RandomGenerator, SameSeedSameSequenceInRangeAndSpreadOverSmallModuli) {
  SeedRandom(12345);
  std::vector<int> first;
  for (int i = 0; i < 1000; ++i) first.push_back(Random());
  SeedRandom(12345);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(Random(), first[i]);
  SeedRandom(12346);
  int same = 0;
  for (int i = 0; i < 1000; ++i) same += Random() == first[i];
  EXPECT_LT(same, 3);

  SeedRandom(7);
  int counts[64] = {};
  for (int i = 0; i < 64000; ++i) {
    const int r = Random();
    ASSERT_GE(r, 0);
    ++counts[r % 64];
  }
  for (int c : counts) {
    EXPECT_GT(c, 800);
    EXPECT_LT(c, 1200);
  }
}

}  // namespace
