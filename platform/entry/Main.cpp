// The Linux program: the SDL host, then the Win32 entry point as Windows would call it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "../testing.h"
#include "app/Options.h"

namespace {

// The arguments as one Windows command line, quoted so that WinMain splits it back into them.
std::string CommandLineOf(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (!line.empty()) line += ' ';
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
      line += argument;
      continue;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (char c : argument) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      // Backslashes before a quote are doubled, and the quote escaped.
      line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
      backslashes = 0;
      line += c;
    }
    line.append(backslashes * 2, '\\');  // before the closing quote
    line += '"';
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  std::string commandLine = CommandLineOf(argc, argv);
  LaunchOptions options;
  std::string error;
  // Help and option errors end the program before it needs a display.
  if (ParseCommandLine(commandLine.c_str(), options, error) != OptionsOutcome::Run)
    return WinMain(nullptr, nullptr, commandLine.data(), SW_SHOWDEFAULT);
  if (!vemora::testing::UseSdlHost(&error)) {
    std::fprintf(stderr, "vemora: no display available: %s\n", error.c_str());
    return 1;
  }
  return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
