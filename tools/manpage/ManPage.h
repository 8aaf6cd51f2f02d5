// A manual page in roff, made from the text a program prints for --help, so that the two cannot
// drift apart.
//
// The help text is read line by line: "usage: NAME ..." and the lines indented under it are the
// synopsis (a line that starts with NAME again is another form); a line of its own ending with a
// colon starts a section ("Options:" is OPTIONS); a line indented by two spaces is an entry, its
// term up to the first run of two spaces, its description after it and on the lines indented
// deeper below; other lines are text, and blank lines end paragraphs.
#pragma once

#include <string>

namespace manpage {

struct PageInfo {
  std::string name;     // the program
  std::string section;  // "1", "6", ...
  std::string summary;  // what the NAME line says after the dash
  std::string source;   // the page's footer: the product and its version
  std::string date;     // "YYYY-MM-DD"
};

// True on failure: the text has no usage line for `info.name`.
bool FromHelp(const PageInfo& info, const std::string& help, std::string& roff);

}  // namespace manpage
