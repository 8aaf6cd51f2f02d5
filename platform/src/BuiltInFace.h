// The dialogs' built-in face, Vemora Sans: a bitmap face that needs no font files and no font
// library, so that any host can draw dialog text. At the heights it holds it measures and draws
// exactly as the SDL host draws Liberation Sans; other heights are scaled from the nearest one.
// Characters outside printable ASCII are drawn as '?'.
#pragma once

#include "DialogText.h"

namespace vemora::platform {

class BuiltInFace final : public DialogText {
 public:
  static constexpr const char* kName = "Vemora Sans (built in)";

  std::string Name() override { return kName; }
  bool BaseUnits(int pixelHeight, int& baseX, int& baseY) override;
  int Width(int pixelHeight, const std::string& text) override;
  void Draw(const Canvas& canvas, int pixelHeight, int x, int y, const std::string& text, std::uint32_t colour,
            const RECT& clip) override;
};

}  // namespace vemora::platform
