// Manual pages made from --help texts: every part of the help lands in its place, and nothing
// in it can reach roff as a request or an escape.
#include <gtest/gtest.h>

#include <string>

#include "ManPage.h"

namespace {

const manpage::PageInfo kInfo{"tool", "1", "do a thing", "Vemora 1.0.0", "2026-12-08"};

std::string Page(const std::string& help, const manpage::PageInfo& info = kInfo) {
  std::string roff;
  EXPECT_FALSE(manpage::FromHelp(info, help, roff)) << help;
  return roff;
}

TEST(ManPage, HeaderNameAndSynopsisFormsComeFromTheUsageLines) {
  EXPECT_EQ(Page("Usage: tool IN [--rate HZ]\n"
                 "            [--plain]\n"
                 "       tool --help | --version\n"),
            ".TH TOOL 1 2026-12-08 \"Vemora 1.0.0\" \"User Commands\"\n"
            ".SH NAME\n"
            "tool \\- do a thing\n"
            ".SH SYNOPSIS\n"
            ".B tool\n"
            "IN [\\-\\-rate HZ] [\\-\\-plain]\n"
            ".br\n"
            ".B tool\n"
            "\\-\\-help | \\-\\-version\n");
  manpage::PageInfo game = kInfo;
  game.section = "6";
  EXPECT_EQ(Page("usage: tool\n", game).rfind(".TH TOOL 6 2026-12-08 \"Vemora 1.0.0\" \"Games Manual\"\n", 0), 0u);
}

TEST(ManPage, TextSectionsAndEntriesFollowTheSynopsis) {
  EXPECT_EQ(Page("usage: tool [options]\n"
                 "Does a thing,\n"
                 "quickly.\n"
                 "\n"
                 "A second paragraph.\n"
                 "\n"
                 "Options:\n"
                 "  --rate HZ     the rate, in\n"
                 "                hertz\n"
                 "  --go          start\n"
                 "  P, Pause\n"
                 "                pause\n"
                 "Said after the list.\n"
                 "Exit status:\n"
                 "  2             bad options\n")
                .substr(Page("usage: tool [options]\n").size()),
            ".SH DESCRIPTION\n"
            "Does a thing,\n"
            "quickly.\n"
            ".PP\n"
            "A second paragraph.\n"
            ".SH OPTIONS\n"
            ".TP\n"
            "\\fB\\-\\-rate\\fR \\fIHZ\\fR\n"
            "the rate, in\n"
            "hertz\n"
            ".TP\n"
            "\\fB\\-\\-go\\fR\n"
            "start\n"
            ".TP\n"
            "\\fBP, Pause\\fR\n"
            "pause\n"
            ".PP\n"
            "Said after the list.\n"
            ".SH EXIT STATUS\n"
            ".TP\n"
            "\\fB2\\fR\n"
            "bad options\n");
}

TEST(ManPage, TextCannotBecomeRequestsOrEscapes) {
  const std::string page = Page("usage: tool\n"
                                "C:\\path with a backslash, -1 and hi-colour\n"
                                "'quoted' first\n"
                                ".dotted first\n");
  EXPECT_NE(page.find("C:\\epath with a backslash, \\-1 and hi-colour\n"), std::string::npos) << page;
  EXPECT_NE(page.find("\n\\&'quoted' first\n"), std::string::npos) << page;
  EXPECT_NE(page.find("\n\\&.dotted first\n"), std::string::npos) << page;
}

TEST(ManPage, LongLinesBreakAtSpacesWithinTheWidth) {
  const std::string word = "abcdefghij";
  std::string text;
  for (int i = 0; i < 12; ++i) text += word + ' ';
  const std::string page = Page("usage: tool\n" + text + "\n");
  EXPECT_NE(page.find("\n" + text.substr(0, 7 * 11 - 1) + "\n" + text.substr(7 * 11, 5 * 11 - 1) + "\n"),
            std::string::npos)
      << page;
}

TEST(ManPage, AHelpWithoutTheProgramsUsageLineFails) {
  std::string roff;
  EXPECT_TRUE(manpage::FromHelp(kInfo, "", roff));
  EXPECT_TRUE(manpage::FromHelp(kInfo, "Usage: other [options]\n", roff));
  EXPECT_TRUE(manpage::FromHelp(kInfo, "usage: toolbox\n", roff));
  EXPECT_FALSE(manpage::FromHelp(kInfo, "USAGE: tool\r\n", roff));
}

}  // namespace
