// The star field and the credits scroller, seen on presented frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <tuple>
#include <vector>

#include "Frames.h"
#include "SceneStage.h"
#include "app/Random.h"
#include "app/Settings.h"
#include "effects/Font.h"
#include "effects/Fx_rotozoom.h"

namespace {

namespace vt = vemora::testing;
using scenetest::Grey;
using scenetest::SameFrame;
using scenetest::Screen;
using scenetest::ShownFrame;

constexpr unsigned kSeed = 20240611;

// The field the start draws from the generator, seen through the projection with depth greys.
Screen StartField(int mode) {
  SeedRandom(kSeed);
  std::vector<int> coordinates(3 * 2048);
  for (int& c : coordinates) c = Random() % 131072 - 65536;
  Screen screen = scenetest::Filled(0);
  for (int i = 0; i < 2048; ++i) {
    const int x = coordinates[3 * i], y = coordinates[3 * i + 1], z = coordinates[3 * i + 2];
    if (z <= 0) continue;
    const int sx = x * 256 / z + 320, sy = y * 256 / z + 240;
    if (sx < 0 || sx >= 640 || sy < 0 || sy >= 480) continue;
    screen[sy * 640 + sx] = Grey(std::min(31, 32 - z * 32 / 65536), mode);
  }
  return screen;
}

vt::Picture RunScene(scenetest::SceneStage& stage, int scene, const std::vector<int>& ticks) {
  SeedRandom(kSeed);
  stage.Enter(scene);
  for (int t : ticks) stage.Frame(t);
  return stage.Presented();
}

class StarField : public scenetest::InBothModes {};

TEST_P(StarField, FirstFrameShowsTheStartPositionsOnABlackScreen) {
  scenetest::SceneStage stage(Mode());
  ASSERT_TRUE(stage.Ready());
  std::fill(vscreen, vscreen + 640 * 480, 0x1234);
  const Screen expected = StartField(Mode());
  int lit = 0, brightest = 0;
  for (uint16_t p : expected) {
    lit += p != 0;
    brightest += p == Grey(31, Mode());
  }
  ASSERT_GT(lit, 200);  // the reference itself must show a field, near stars included
  ASSERT_GT(brightest, 0);
  EXPECT_TRUE(SameFrame(RunScene(stage, 5, {1}), ShownFrame(expected, Mode())));
}

INSTANTIATE_TEST_SUITE_P(Modes, StarField, ::testing::Values(0, 1), scenetest::ModeName);

TEST(StarFieldMotion, EachFrameShowsOnlyItsOwnStarsInGreys) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  std::set<uint32_t> greys;
  for (int level = 0; level < 32; ++level) greys.insert(scenetest::Shown(Grey(level, 0), 0));
  std::vector<int> ticks(80, 1);
  ticks.push_back(100000);  // a long stall: the field still moves one step
  ticks.push_back(1);
  SeedRandom(kSeed);
  stage.Enter(5);
  vt::Picture previous;
  for (int t : ticks) {
    stage.Frame(t);
    const vt::Picture shown = stage.Presented();
    int lit = 0, notGrey = 0;
    for (uint32_t p : shown.pixels) {
      if (p == 0) continue;
      ++lit;
      notGrey += greys.count(p) == 0;
    }
    ASSERT_LE(lit, 2048) << "stars of earlier frames were left on the screen";
    ASSERT_GT(lit, 200);
    ASSERT_EQ(notGrey, 0);
    ASSERT_NE(shown.pixels, previous.pixels) << "the field stood still";
    previous = shown;
  }
}

// The credits scene is the star field with the credit lines under the stars.
TEST(Credits, LinesRiseOnePixelPerTickUnderTheStarsBrightestAt216) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  const std::vector<int> ticks = {143, 216};  // 359 pixels: "Marquelite" at 216, line 11 at 408
  const vt::Picture stars = RunScene(stage, 5, ticks);
  const vt::Picture credits = RunScene(stage, 14, ticks);

  Screen text = scenetest::Filled(0);
  textTarget = text.data();
  for (auto [line, y, level] : {std::tuple{8, 216, 22}, std::tuple{11, 408, 4}}) {
    textColour = Grey(level, 0);
    DrawText(static_cast<uint32_t>((640 - TextWidth(creditLines[line])) / 2), y, creditLines[line]);
  }
  textTarget = vscreen;
  vt::Picture expected = ShownFrame(text, 0);
  for (size_t i = 0; i < expected.pixels.size(); ++i)
    if (stars.pixels[i] != 0) expected.pixels[i] = stars.pixels[i];
  EXPECT_TRUE(SameFrame(credits, expected));
}

class CreditsEnd : public ::testing::TestWithParam<bool> {
 protected:
  void TearDown() override { loopDemo = false; }
};

// One update may carry the scroll past the end marker: that still ends the pass.
TEST_P(CreditsEnd, AJumpPastTheLastLineEndsThePassAndOnlyALoopingShowLeavesTheScene) {
  const bool loop = GetParam();
  loopDemo = loop;
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  stage.Enter(14);
  stage.Frame(3900);
  EXPECT_EQ(creditScroll, 3900);
  stage.Frame(200);
  EXPECT_EQ(creditScroll, 0);
  EXPECT_EQ(creditsEnded, loop);
  stage.Frame(1);
  EXPECT_EQ(sceneDone, loop);
  stage.Frame(3904);
  EXPECT_EQ(creditScroll, loop ? 3905 : 0);  // once ended, the credits are no longer drawn or checked
  stage.Frame(1);
  EXPECT_EQ(sceneDone, loop);
}

INSTANTIATE_TEST_SUITE_P(Loop, CreditsEnd, ::testing::Bool());

// Which of the three blocks the start cannot get: 1, 2 or 3.
class StarsWithoutMemory : public ::testing::TestWithParam<int> {
 protected:
  void TearDown() override {
    starsAllocate = realAllocate;
    loopDemo = false;
  }
  static void* FailingAllocate(size_t bytes) { return ++calls == failingCall ? nullptr : realAllocate(bytes); }
  static inline void* (*realAllocate)(size_t) = starsAllocate;
  static inline int calls = 0;
  static inline int failingCall = 0;
};

TEST_P(StarsWithoutMemory, ShowBlackAndNeverEnd) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  loopDemo = true;
  for (int scene : {5, 14}) {
    calls = 0;
    failingCall = GetParam();
    starsAllocate = FailingAllocate;
    std::fill(vscreen, vscreen + 640 * 480, 0x1234);
    stage.Enter(scene);
    for (int t : {1, 1, 5000, 1}) {
      stage.Frame(t);
      EXPECT_FALSE(sceneDone) << scene;
      EXPECT_TRUE(SameFrame(stage.Presented(), ShownFrame(scenetest::Filled(0), 0))) << scene;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Stars, StarsWithoutMemory, ::testing::Values(1, 2, 3));

}  // namespace
