#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "effects/Font.h"

namespace {

bool PlainText(const char* s) {
  for (; *s; ++s)
    if (*s < 32 || *s > 126 || *s == '&') return false;
  return true;
}

TEST(TextTables, GreetingsRunFromHelloToOthersWithTwentyHandlesOfTheRightWidths) {
  ASSERT_EQ(greetingWords[kGreetingCount], nullptr);
  EXPECT_STREQ(greetingWords[0], "Hello to");
  EXPECT_STREQ(greetingWords[1], "(in random order )");
  EXPECT_STREQ(greetingWords[22], "(and others)");
  int narrowest = 10000, widest = 0, wider512 = 0;
  for (int i = 2; i <= 21; ++i) {
    ASSERT_NE(greetingWords[i], nullptr) << i;
    EXPECT_TRUE(PlainText(greetingWords[i])) << greetingWords[i];
    EXPECT_GT(std::strlen(greetingWords[i]), 0u);
    int w = TextWidth(greetingWords[i]);
    narrowest = std::min(narrowest, w);
    widest = std::max(widest, w);
    wider512 += w > 512;
  }
  EXPECT_EQ(narrowest, 59);
  EXPECT_EQ(widest, 546);
  EXPECT_EQ(wider512, 1);
  for (int i = 2; i <= 21; ++i)
    for (int j = i + 1; j <= 21; ++j) EXPECT_STRNE(greetingWords[i], greetingWords[j]);
}

TEST(TextTables, CreditLinesHaveTheirFixedTextsAndInventedCredits) {
  ASSERT_EQ(creditLines[kCreditLineCount], nullptr);
  const std::pair<int, const char*> fixed[] = {
      {8, "Marquelite"}, {11, "First presented at"}, {12, "FESTA'99"}, {15, "Code and Trax"},
      {20, "Code and gfx"}, {25, "Demo Engine and"}, {26, "MusicPlayer Code"}, {32, "Hope you enjoyed this"},
      {33, "little demo made in"}, {34, "three days."}, {36, "it runs in 16bit color"},
      {37, "all software rendered"}, {38, "internally."}, {40, "no 3d parts :\\"}, {41, "except those stars"},
      {49, "and we go again..."}, {50, "ESC to quit"}, {51, "or even ALT+F4"}, {52, "or maybe ALT+CTRL+DEL"},
      {53, "if you dare"}};
  const int handles[] = {16, 21, 27}, mails[] = {17, 22, 28};
  for (int i = 0; i < kCreditLineCount; ++i) {
    ASSERT_NE(creditLines[i], nullptr) << i;
    bool named = false;
    for (auto [line, text] : fixed)
      if (line == i) {
        EXPECT_STREQ(creditLines[i], text);
        named = true;
      }
    for (int line : handles) named |= line == i;
    for (int line : mails) named |= line == i;
    if (!named) {
      EXPECT_STREQ(creditLines[i], "") << i;
    }
  }
  EXPECT_EQ(std::strlen(creditLines[40]), 14u);
  for (int line : handles) {
    EXPECT_GT(std::strlen(creditLines[line]), 0u);
    EXPECT_TRUE(PlainText(creditLines[line])) << creditLines[line];
  }
  for (int line : mails) {
    std::string mail = creditLines[line];
    ASSERT_GE(mail.size(), 3u);
    EXPECT_EQ(mail.front(), '(');
    EXPECT_EQ(mail.back(), ')');
    EXPECT_TRUE(PlainText(mail.c_str())) << mail;
    // Only reserved example domains.
    bool reserved = false;
    for (const char* domain : {"@example.org)", "@example.com)", "@example.net)"})
      reserved |= mail.size() > std::strlen(domain) && mail.compare(mail.size() - std::strlen(domain), std::string::npos, domain) == 0;
    EXPECT_TRUE(reserved) << mail;
  }
}

TEST(TextTables, WidestCreditLineIsTheAltCtrlDelLineAt510) {
  int widest = 0, at = -1;
  for (int i = 0; i < kCreditLineCount; ++i) {
    int w = TextWidth(creditLines[i]);
    if (w > widest) widest = w, at = i;
  }
  EXPECT_EQ(widest, 510);
  EXPECT_EQ(at, 52);
}

}  // namespace
