// What main() hands to WinMain: its arguments as one Windows command line.
#pragma once

#include <string>

namespace vemora::host {

// The arguments after the program's name, quoted so that WinMain splits them back into them.
std::string CommandLineOf(int argc, char** argv);

}  // namespace vemora::host
