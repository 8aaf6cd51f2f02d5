// The browser's program: the Win32 entry point on the web host, which starts at the program's
// first platform call. The page passes its address's presets as the arguments.
#include <windows.h>

#include <string>

#include "CommandLine.h"
#include "host.h"
#include "src/hosts/web/WebHost.h"

int main(int argc, char** argv) {
  std::string commandLine = vemora::host::CommandLineOf(argc, argv);
  vemora::host::StartOnFirstCall(vemora::platform::CreateWebHost);
  return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
