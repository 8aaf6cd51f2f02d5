// Which host the platform runs on. Each host lives in a folder of its own (src/hosts/NAME/) with
// its own CMake target and a factory declared there; a program links the hosts it may run on
// and names the one that starts at its first platform call. Tests and tools choose through
// testing.h, which includes this.
#pragma once

#include <string>

namespace vemora::platform {
class Host;
}  // namespace vemora::platform

namespace vemora::host {

// Makes a host, or gives null with the reason it cannot run here (no display, say).
using Factory = platform::Host* (*)(std::string* error);

// The host that the program's first platform call starts, made before any thread of the
// program exists. When it cannot start, the program ends there: "vemora: no display available:
// REASON" on standard error and exit code 1.
void StartOnFirstCall(Factory make);

}  // namespace vemora::host
