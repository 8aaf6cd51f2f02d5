// Scene 12: every pixel shows its hit count modulo 256 under the caption.
#include <gtest/gtest.h>

#include <vector>

#include "EffectTest.h"
#include "app/Random.h"
#include "effects/Font.h"

using namespace fxtest;

namespace {

TEST(Shadebob, EachPixelShowsItsHitCountModulo256UnderTheCaption) {
  scenetest::SceneStage stage(0);
  ASSERT_TRUE(stage.Ready());
  stage.Enter(12);
  constexpr int kFrames = 2000;
  SeedRandom(3);
  for (int n = 0; n < kFrames; ++n) {
    UpdateScene(1);
    RenderScene();
  }
  PresentFrame();
  const vt::Picture shown = stage.Presented();

  // The same random values, counted plainly; the caption drawn alone.
  SeedRandom(3);
  std::vector<int> hits(kW * kH);
  for (int n = 0; n < kFrames * 16; ++n) {
    const int x = Random() % 590, y = Random() % 430;
    for (int j = 0; j < 50; ++j)
      for (int k = 0; k < 50; ++k) ++hits[(y + j) * kW + x + k];
  }
  std::vector<uint16_t> caption(kW * kH);
  textTarget = caption.data();
  textColour = 0xFFFF;
  DrawText(16, 8, textSouvenirs);

  int misses = 0, wrappedToBlack = 0;
  for (int i = 0; i < kW * kH; ++i) {
    const uint16_t expected = caption[i] ? 0xFFFF : static_cast<uint16_t>(hits[i] % 256);
    misses += Packed(shown.pixels[i], 0) != expected;
    wrappedToBlack += !caption[i] && hits[i] == 256 && shown.pixels[i] == 0;
  }
  EXPECT_EQ(misses, 0);
  EXPECT_GT(wrappedToBlack, 0);
}

}  // namespace
