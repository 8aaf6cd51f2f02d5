// makesong OUT.xm: writes the show's song. Everything in it is synthesised here, from fixed
// seeds, so two runs write the same bytes.
#include <cstdio>

#include "Composition.h"
#include "XmWriter.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: makesong OUT.xm\n");
    return 2;
  }
  const std::vector<uint8_t> image = xmw::WriteXm(song::ComposeSong());
  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  const bool ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
  if (std::fclose(f) != 0 || !ok) {
    std::fprintf(stderr, "makesong: could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
