// The real host's start-up where there is no display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "testing.h"

namespace {

TEST(SdlHost, WithoutADisplayRefusesToStartAndSaysWhy) {
  // SDL would otherwise fall back to its offscreen driver and run the show invisibly.
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  std::string error;
  EXPECT_FALSE(vemora::testing::UseSdlHost(&error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(error.find("offscreen"), std::string::npos) << error;
  EXPECT_FALSE(vemora::testing::HeadlessHostActive());
}

}  // namespace
