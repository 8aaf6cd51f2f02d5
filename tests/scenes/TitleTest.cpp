// The title reveal and the closing bars, drawn over what the screen held before.
#include <gtest/gtest.h>

#include <algorithm>

#include "Frames.h"
#include "SceneStage.h"

namespace {

using scenetest::Screen;
using scenetest::Shows;

constexpr uint16_t kBefore = 0x1234;

void FillBefore() { std::fill(vscreen, vscreen + 640 * 480, kBefore); }

// The title where `revealed` (x, y) holds, the earlier screen elsewhere.
template <class Revealed>
Screen TitleWhere(int mode, Revealed revealed) {
  const scenetest::Image title = scenetest::Decode(TitleImage());
  Screen screen(640 * 480, kBefore);
  for (int i = 0; i < 640 * 480; ++i)
    if (revealed(i % 640, i / 640)) screen[i] = title.At(i % 640, i / 640, mode);
  return screen;
}

class Title : public scenetest::InBothModes {};

TEST_P(Title, WedgesGrowFromTheRightAndLeftEdgesEightPixelsPerTick) {
  scenetest::SceneStage stage(Mode());
  ASSERT_TRUE(stage.Ready());
  FillBefore();
  stage.Enter(3);
  stage.Frame(0);
  EXPECT_TRUE(Shows(stage.Presented(), Screen(640 * 480, kBefore), Mode()));
  stage.Frame(40);  // 320 pixels: the right wedge widest at the bottom, the left one at the top
  EXPECT_TRUE(Shows(stage.Presented(),
                    TitleWhere(Mode(), [](int x, int y) { return x >= 640 - 320 * y / 480 || x < 320 * (479 - y) / 480; }),
                    Mode()));
}

INSTANTIATE_TEST_SUITE_P(Modes, Title, ::testing::Values(0, 1), scenetest::ModeName);

// 81 ticks is the first frame past 640 pixels; a million stands for one update after a long stall.
class TitleCompletion : public ::testing::TestWithParam<int> {};

TEST_P(TitleCompletion, LastFrameShowsTheWholePictureAndLaterFramesLeaveTheScreenAlone) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  FillBefore();
  stage.Enter(3);
  stage.Frame(GetParam());
  EXPECT_TRUE(Shows(stage.Presented(), TitleWhere(0, [](int, int) { return true; }), 0));
  FillBefore();
  stage.Frame(1);
  EXPECT_TRUE(Shows(stage.Presented(), Screen(640 * 480, kBefore), 0));
  EXPECT_FALSE(sceneDone);  // the music ends this scene, not the picture
}

INSTANTIATE_TEST_SUITE_P(Title, TitleCompletion, ::testing::Values(81, 1000000));

TEST(ClosingBars, CloseEightRowsPerTickMeetAtTick30AndLeaveTheScreenAloneFromTick32) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  FillBefore();
  stage.Enter(4);
  stage.Frame(29);  // 232: rows 0 to 232 and 247 to 479
  Screen expected(640 * 480, 0);
  std::fill(expected.begin() + 233 * 640, expected.begin() + 247 * 640, kBefore);
  EXPECT_TRUE(Shows(stage.Presented(), expected, 0));
  for (int tick = 30; tick <= 32; ++tick) {
    FillBefore();
    stage.Frame(1);
    EXPECT_TRUE(Shows(stage.Presented(), Screen(640 * 480, tick < 32 ? 0 : kBefore), 0)) << "tick " << tick;
  }
  stage.Enter(4);  // and once more, in one long update
  stage.Frame(1000000);
  EXPECT_TRUE(Shows(stage.Presented(), Screen(640 * 480, 0), 0));
  EXPECT_FALSE(sceneDone);
}

}  // namespace
