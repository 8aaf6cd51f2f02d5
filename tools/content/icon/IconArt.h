// The program's icon, drawn at any size: a ringed planet over the title picture's night sky,
// above its glowing grid floor, on a tile with rounded corners.
#pragma once
#include <cstdint>
#include <vector>

// size x size pixels, row-major from the top, 0xAARRGGBB (not premultiplied).
std::vector<uint32_t> DrawIcon(int size);
