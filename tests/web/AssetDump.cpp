// assetdump DIR: writes every embedded asset to DIR under its file name, so that a test can
// compare what this build embedded with the files it came from.
#include <cstdio>

#include "assets/Assets.h"

namespace {

bool Write(const char* dir, const char* name, Asset asset) {
  char path[4096];
  std::snprintf(path, sizeof path, "%s/%s", dir, name);
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  const bool written = std::fwrite(asset.data, 1, asset.size, f) == static_cast<size_t>(asset.size);
  return std::fclose(f) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: assetdump DIR\n");
    return 2;
  }
  const struct {
    const char* name;
    Asset (*asset)();
  } assets[] = {{"song.xm", SongImage},
                {"logo_upper.pcx", UpperLogoImage},
                {"logo_lower.pcx", LowerLogoImage},
                {"title.pcx", TitleImage},
                {"roto_texture.pcx", RotoTextureImage},
                {"roto_frame.pcx", RotoFrameImage},
                {"water_background.pcx", WaterBackgroundImage},
                {"water_ball.pcx", WaterBallImage},
                {"water_lens.pcx", WaterLensImage},
                {"font.bin", FontData}};
  for (const auto& a : assets) {
    if (!Write(argv[1], a.name, a.asset())) {
      std::fprintf(stderr, "assetdump: cannot write %s/%s\n", argv[1], a.name);
      return 1;
    }
  }
  return 0;
}
