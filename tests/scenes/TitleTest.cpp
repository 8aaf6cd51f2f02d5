// The title reveal and the closing bars, seen on presented frames.
#include <gtest/gtest.h>

#include <algorithm>

#include "Frames.h"
#include "SceneStage.h"

namespace {

using scenetest::SameFrame;
using scenetest::Screen;
using scenetest::ShownFrame;

constexpr uint16_t kMarker = 0x1234;  // what the screen held before

Screen TitleScreen(int mode) {
  const scenetest::Image title = scenetest::Decode(TitleImage());
  Screen screen(640 * 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) screen[y * 640 + x] = title.At(x, y, mode);
  return screen;
}

void Mark() { std::fill(vscreen, vscreen + 640 * 480, kMarker); }

class Title : public scenetest::InBothModes {};

TEST_P(Title, WedgesGrowFromTheRightAndLeftEdgesOverWhatWasThere) {
  scenetest::SceneStage stage(Mode());
  ASSERT_TRUE(stage.Ready());
  Mark();
  stage.Enter(3);
  stage.Frame(0);
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(scenetest::Filled(kMarker), Mode())));

  stage.Frame(40);  // 320 pixels
  const Screen title = TitleScreen(Mode());
  Screen expected = scenetest::Filled(kMarker);
  for (int y = 0; y < 480; ++y) {
    const int rightFrom = 640 - 320 * y / 480, leftTo = 320 * (479 - y) / 480;
    for (int x = 0; x < 640; ++x)
      if (x >= rightFrom || x < leftTo) expected[y * 640 + x] = title[y * 640 + x];
  }
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(expected, Mode())));
}

INSTANTIATE_TEST_SUITE_P(Modes, Title, ::testing::Values(0, 1), scenetest::ModeName);

// 81 ticks is the first frame past 640 pixels; a million stands for one update after a long stall.
class TitleCompletion : public ::testing::TestWithParam<int> {};

TEST_P(TitleCompletion, LastFrameShowsTheWholePictureAndLaterFramesLeaveTheScreenAlone) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  Mark();
  stage.Enter(3);
  stage.Frame(GetParam());
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(TitleScreen(0), 0)));
  Mark();
  stage.Frame(1);
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(scenetest::Filled(kMarker), 0)));
  EXPECT_FALSE(sceneDone);  // the music ends this scene, not the picture
}

INSTANTIATE_TEST_SUITE_P(Title, TitleCompletion, ::testing::Values(81, 1000000));

TEST(ClosingBars, CloseEightRowsPerTickMeetAtTick30AndLeaveTheScreenAloneFromTick32) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  Mark();
  stage.Enter(4);
  stage.Frame(29);  // 232: rows 0 to 232 and 247 to 479
  Screen expected = scenetest::Filled(0);
  std::fill(expected.begin() + 233 * 640, expected.begin() + 247 * 640, kMarker);
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(expected, 0)));
  stage.Frame(1);
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(scenetest::Filled(0), 0)));
  Mark();
  stage.Frame(1);  // past 240: the last drawing
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(scenetest::Filled(0), 0)));
  Mark();
  stage.Frame(1);
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(scenetest::Filled(kMarker), 0)));
}

TEST(ClosingBars, OneLongUpdateBlackensTheWholeScreen) {
  scenetest::SceneStage stage(1);
  ASSERT_TRUE(stage.Ready());
  Mark();
  stage.Enter(4);
  stage.Frame(1000000);
  EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(scenetest::Filled(0), 1)));
  EXPECT_FALSE(sceneDone);
}

}  // namespace
