// The Linux program: the SDL host, then the Win32 entry point as Windows would call it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "../testing.h"

int main() {
  std::string error;
  if (!vemora::testing::UseSdlHost(&error)) {
    std::fprintf(stderr, "vemora: no display available: %s\n", error.c_str());
    return 1;
  }
  return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
}
