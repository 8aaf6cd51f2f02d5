// Presented frames as 8-bit RGB PNG files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "Framing.h"

namespace capture {

class PngEncoder {
 public:
  explicit PngEncoder(const Framing& framing = {}) : painter_(framing) {}
  // Writes a frame in the display's 5:6:5 or (overlay) 5:5:5 format. True on failure.
  bool Write(const std::string& path, const uint16_t* pixels, bool overlay);

 private:
  FramePainter painter_;
  std::vector<uint8_t> rows_;        // filter byte + RGB per row, reused for every frame
  std::vector<uint8_t> compressed_;
};

}  // namespace capture
