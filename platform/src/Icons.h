// Icons: handles that name the program's icon resources, and their pictures.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace vemora::platform {

struct IconImage {
  int size = 0;
  std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, row-major from the top
};

// The picture of the program's icon nearest in size to `preferred`; false for icons that name
// no resource of the program (system icons) and for pictures in a form not read here.
bool ProgramIconImage(HICON icon, int preferred, IconImage& image);

}  // namespace vemora::platform
