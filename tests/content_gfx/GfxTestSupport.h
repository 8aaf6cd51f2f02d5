// Helpers shared by the picture and font tests.
#pragma once
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/Assets.h"

namespace gfxtest {

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string AssetPath(const std::string& name) { return std::string(VEMORA_SOURCE_DIR) + "/src/assets/" + name; }

// The display formats' conversion of an 8-bit channel triple.
inline uint16_t To565(int r, int g, int b) { return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)); }
inline uint16_t To555(int r, int g, int b) { return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)); }
constexpr uint16_t kKey565 = 0xF81F;
constexpr uint16_t kKey555 = 0x7C1F;

struct PictureInfo {
  const char* file;
  Asset (*asset)();
  int width, height;
};

inline const std::vector<PictureInfo>& Pictures() {
  static const std::vector<PictureInfo> list = {
      {"logo_upper.pcx", UpperLogoImage, 512, 138},   {"logo_lower.pcx", LowerLogoImage, 512, 138},
      {"title.pcx", TitleImage, 640, 480},            {"roto_texture.pcx", RotoTextureImage, 256, 256},
      {"roto_frame.pcx", RotoFrameImage, 640, 480},   {"water_background.pcx", WaterBackgroundImage, 640, 480},
      {"water_ball.pcx", WaterBallImage, 158, 158},   {"water_lens.pcx", WaterLensImage, 158, 158},
  };
  return list;
}

}  // namespace gfxtest
