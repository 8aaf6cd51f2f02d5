// Placeholder: the Win32 declarations that src/ uses grow here.
#pragma once
#include <cstdint>
typedef void* HINSTANCE;
typedef char* LPSTR;
#define WINAPI
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
