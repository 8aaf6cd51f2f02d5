// The star field and the credits scroller.
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
using scenetest::Screen;
using scenetest::Shows;

constexpr unsigned kSeed = 20240611;

void RunScene(scenetest::SceneStage& stage, int scene, const std::vector<int>& ticks) {
  SeedRandom(kSeed);
  stage.Enter(scene);
  for (int t : ticks) stage.Frame(t);
}

class StarField : public scenetest::InBothModes {};

TEST_P(StarField, StartsFromRandomPointsSeenInDepthGreysAndKeepsOnlyEachFramesOwnStars) {
  scenetest::SceneStage stage(Mode());
  ASSERT_TRUE(stage.Ready());
  std::fill(vscreen, vscreen + 640 * 480, 0x1234);
  // The first frame shows the start points drawn from the generator, projected from the centre.
  SeedRandom(kSeed);
  Screen expected(640 * 480, 0);
  int brightest = 0;
  for (int i = 0; i < 2048; ++i) {
    const int x = Random() % 131072 - 65536, y = Random() % 131072 - 65536, z = Random() % 131072 - 65536;
    const int sx = z > 0 ? x * 256 / z + 320 : -1, sy = z > 0 ? y * 256 / z + 240 : -1;
    if (sx < 0 || sx >= 640 || sy < 0 || sy >= 480) continue;
    expected[sy * 640 + sx] = Grey(std::min(31, 32 - z * 32 / 65536), Mode());
    brightest += z < 4096;  // level 31
  }
  ASSERT_GT(brightest, 0);
  RunScene(stage, 5, {1});
  EXPECT_TRUE(Shows(stage.Presented(), expected, Mode()));

  std::set<uint32_t> greys;
  for (int level = 0; level < 32; ++level) greys.insert(scenetest::Shown(Grey(level, Mode()), Mode()));
  std::vector<uint32_t> previous = stage.Presented().pixels;
  for (int t : {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 100000, 1}) {  // a long stall still moves the field one step
    stage.Frame(t);
    const std::vector<uint32_t> shown = stage.Presented().pixels;
    int lit = 0, notGrey = 0;
    for (uint32_t p : shown) {
      if (p == 0) continue;
      ++lit;
      notGrey += !greys.count(p);
    }
    ASSERT_GT(lit, 200);
    ASSERT_LE(lit, 2048) << "stars of earlier frames were left on the screen";
    ASSERT_EQ(notGrey, 0);
    ASSERT_NE(shown, previous) << "the field stood still";
    previous = shown;
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, StarField, ::testing::Values(0, 1), scenetest::ModeName);

// The credits scene is the same star field over the credit lines.
TEST(Credits, LinesRiseOnePixelPerTickUnderTheStarsBrightestAt216) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  const std::vector<int> ticks = {143, 216};  // 359 pixels: "Marquelite" at 216, line 11 at 408
  RunScene(stage, 5, ticks);
  const vt::Picture stars = stage.Presented();
  RunScene(stage, 14, ticks);

  Screen expected(640 * 480, 0);
  textTarget = expected.data();
  for (auto [line, y, level] : {std::tuple{8, 216, 22}, {11, 408, 4}}) {
    textColour = Grey(level, 0);
    DrawText((640 - TextWidth(creditLines[line])) / 2, y, creditLines[line]);
  }
  textTarget = vscreen;
  vt::Picture credits = stage.Presented();
  for (size_t i = 0; i < expected.size(); ++i)
    if (stars.pixels[i] != 0) {
      EXPECT_EQ(credits.pixels[i], stars.pixels[i]);
      credits.pixels[i] = 0;
      expected[i] = 0;
    }
  EXPECT_TRUE(Shows(credits, expected, 0));
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
  stage.Frame(200);
  EXPECT_EQ(creditScroll, 0);
  EXPECT_EQ(creditsEnded, loop);
  stage.Frame(1);
  EXPECT_EQ(sceneDone, loop);
  stage.Frame(3904);  // without the loop, the next pass ends the same way
  stage.Frame(1);
  EXPECT_EQ(creditScroll, loop ? 3906 : 1);
  EXPECT_EQ(sceneDone, loop);
}

INSTANTIATE_TEST_SUITE_P(Loop, CreditsEnd, ::testing::Bool());

// Which of the three blocks the start cannot get.
class StarsWithoutMemory : public ::testing::TestWithParam<int> {
 protected:
  void TearDown() override {
    starsAllocate = realAllocate;
    loopDemo = false;
  }
  static void* Allocate(size_t bytes) { return ++calls == GetParam() ? nullptr : realAllocate(bytes); }
  static inline void* (*const realAllocate)(size_t) = starsAllocate;
  static inline int calls = 0;
};

TEST_P(StarsWithoutMemory, ShowBlackAndNeverEnd) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  loopDemo = true;
  starsAllocate = Allocate;
  for (int scene : {5, 14}) {
    calls = 0;
    std::fill(vscreen, vscreen + 640 * 480, 0x1234);
    stage.Enter(scene);
    for (int t : {1, 5000, 1}) {
      stage.Frame(t);
      EXPECT_FALSE(sceneDone) << scene;
      EXPECT_TRUE(Shows(stage.Presented(), Screen(640 * 480, 0), 0)) << scene;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Stars, StarsWithoutMemory, ::testing::Values(1, 2, 3));

}  // namespace
