// Draws the program icon and writes its files.
// usage: makeicon OUTDIR   (writes vemora.ico with 16 and 32 pixels, vemora-N.png for N = 16, 32, 48, 256)
#include <cstdio>
#include <string>
#include <vector>

#include "IconArt.h"
#include "IconFiles.h"

namespace {

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: makeicon OUTDIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<IconPicture> resource;
  for (int size : {16, 32, 48, 256}) {
    const IconPicture picture{size, DrawIcon(size)};
    const std::string path = dir + "/vemora-" + std::to_string(size) + ".png";
    if (!Write(path, EncodePng(picture))) {
      std::fprintf(stderr, "makeicon: cannot write %s\n", path.c_str());
      return 1;
    }
    if (size <= 32) resource.push_back(picture);
  }
  if (!Write(dir + "/vemora.ico", EncodeIco(resource))) {
    std::fprintf(stderr, "makeicon: cannot write %s/vemora.ico\n", dir.c_str());
    return 1;
  }
  return 0;
}
