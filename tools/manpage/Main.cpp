// makeman NAME SECTION SUMMARY SOURCE DATE HELP OUT: the manual page of NAME, made from the text
// that NAME printed for --help (in the file HELP), written to OUT.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "ManPage.h"

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "usage: makeman NAME SECTION SUMMARY SOURCE DATE HELP OUT\n");
    return 2;
  }
  const manpage::PageInfo info{argv[1], argv[2], argv[3], argv[4], argv[5]};
  std::ifstream in(argv[6], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "makeman: cannot read %s\n", argv[6]);
    return 1;
  }
  const std::string help(std::istreambuf_iterator<char>(in), {});
  std::string roff;
  if (manpage::FromHelp(info, help, roff)) {
    std::fprintf(stderr, "makeman: %s holds no usage line for %s\n", argv[6], argv[1]);
    return 1;
  }
  std::ofstream out(argv[7], std::ios::binary);
  if (!(out << roff) || !out.flush()) {
    std::fprintf(stderr, "makeman: cannot write %s\n", argv[7]);
    return 1;
  }
  return 0;
}
