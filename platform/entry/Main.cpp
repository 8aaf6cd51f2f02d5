// The Linux program: the Win32 entry point as Windows would call it, on the SDL host, which
// starts at the program's first platform call (so that --help and bad options need no display).
#include <windows.h>

#include <string>

#include "host.h"
#include "src/hosts/sdl/SdlHost.h"

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
  vemora::host::StartOnFirstCall(vemora::platform::CreateSdlHost);
  return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
