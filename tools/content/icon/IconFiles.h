// The icon's files: PNG (RGBA, compressed with our own small deflate) and the Windows .ico
// (32-bit pictures with an AND mask), both written byte for byte the same on every run.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct IconPicture {
  int size;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB, row-major from the top
};

std::vector<uint8_t> EncodePng(const IconPicture& picture);
std::vector<uint8_t> EncodeIco(const std::vector<IconPicture>& pictures);
// zlib stream of the data: fixed Huffman codes over greedy LZ77 matches.
std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data);
