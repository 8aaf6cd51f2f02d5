// The browser's host: real time, and the page (web/site) that shows the program's windows and
// pictures, brings its input, plays its sound with Web Audio and shows its message boxes.
#pragma once

#include <string>

namespace vemora::platform {

class Host;

// The web host (a host::Factory). It always starts: a browser that cannot run the program is
// told so by the page before the program loads.
Host* CreateWebHost(std::string* error);

}  // namespace vemora::platform
