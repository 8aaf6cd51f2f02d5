// The SDL host's dialog text: a free TrueType sans-serif face (SDL2_ttf) standing in for the
// templates' 8-point system font, drawn without smoothing as the screens of the time showed it.
// Without a face it measures and draws as a host without fonts does.
#pragma once

#include "DialogText.h"

namespace vemora::platform {

class DialogFont final : public DialogText {
 public:
  std::string Name() override;
  bool BaseUnits(int pixelHeight, int& baseX, int& baseY) override;
  int Width(int pixelHeight, const std::string& text) override;
  void Draw(const Canvas& canvas, int pixelHeight, int x, int y, const std::string& text, std::uint32_t colour,
            const RECT& clip) override;
};

}  // namespace vemora::platform
