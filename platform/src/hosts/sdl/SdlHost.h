// The real host: SDL2 windows, keyboard and focus, wall-clock time, freely running threads.
#pragma once

#include <string>

namespace vemora::platform {

class Host;

// The SDL host (a host::Factory); null with the reason when SDL's video cannot start (no display).
Host* CreateSdlHost(std::string* error);

}  // namespace vemora::platform
