// Paints the show's eight pictures and writes them as PCX files.
// usage: makepictures GLYPHS.txt OUTDIR [NAME...]   (no names: all of them)
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Pictures.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: makepictures GLYPHS.txt OUTDIR [NAME...]\n");
    return 2;
  }
  glyphs::Font font;
  std::string error;
  if (!glyphs::Load(argv[1], font, error)) {
    std::fprintf(stderr, "makepictures: %s\n", error.c_str());
    return 1;
  }
  const std::string dir = argv[2];
  const std::vector<std::pair<std::string, std::function<kit::Image()>>> pictures = {
      {"logo_upper.pcx", [&] { return MakeLogo(font, "Vemora", 1); }},
      {"logo_lower.pcx", [&] { return MakeLogo(font, "Halvorine", 2); }},
      {"title.pcx", [&] { return MakeTitle(font); }},
      {"roto_texture.pcx", [] { return MakeRotoTexture(); }},
      {"roto_frame.pcx", [&] { return MakeRotoFrame(font); }},
      {"water_background.pcx", [] { return MakeWaterBackground(); }},
      {"water_ball.pcx", [] { return MakeWaterBall(); }},
      {"water_lens.pcx", [] { return MakeWaterLens(); }},
  };
  for (const auto& [name, make] : pictures) {
    bool wanted = argc == 3;
    for (int i = 3; i < argc; ++i) wanted |= name == argv[i];
    if (!wanted) continue;
    std::vector<uint8_t> bytes;
    try {
      bytes = kit::EncodePcx(make());
    } catch (const char* why) {
      std::fprintf(stderr, "makepictures: %s: %s\n", name.c_str(), why);
      return 1;
    }
    const std::string path = dir + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) {
      std::fprintf(stderr, "makepictures: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
