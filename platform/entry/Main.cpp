// The Linux program: the Win32 entry point as Windows would call it, on the SDL host, which
// starts at the program's first platform call (so that --help and bad options need no display).
#include <windows.h>

#include <string>

#include "CommandLine.h"
#include "host.h"
#include "src/hosts/sdl/SdlHost.h"

int main(int argc, char** argv) {
  std::string commandLine = vemora::host::CommandLineOf(argc, argv);
  vemora::host::StartOnFirstCall(vemora::platform::CreateSdlHost);
  return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
