// The player thread: renders the song block by block into the open driver.
#pragma once
#include <windows.h>

// Argument: the PlayerThreadInfo. Exit code 0 after a requested stop, -1 when it could not run.
DWORD WINAPI PlayerThreadProc(LPVOID parameter);
