// The SDL host's dialog text: a free TrueType sans-serif face found through fontconfig (Liberation
// Sans, else DejaVu Sans, else the system's sans-serif), drawn with SDL2_ttf without smoothing as
// the screens of the time showed it. Where no face opens, the built-in face draws it. Which face
// that is, is said once on standard error.
#pragma once

#include <SDL_ttf.h>

#include <map>

#include "BuiltInFace.h"

namespace vemora::platform {

class DialogFont final : public DialogText {
 public:
  std::string Name() override;
  bool BaseUnits(int pixelHeight, int& baseX, int& baseY) override;
  int Width(int pixelHeight, const std::string& text) override;
  void Draw(const Canvas& canvas, int pixelHeight, int x, int y, const std::string& text, std::uint32_t colour,
            const RECT& clip) override;

 private:
  // Chooses the face at the first use; false: the built-in face draws.
  bool HaveFile();
  TTF_Font* FaceOf(int pixelHeight);  // opened once per size and kept; null when it does not open

  bool chosen_ = false;
  std::string family_;
  std::string file_;
  std::map<int, TTF_Font*> sizes_;
  BuiltInFace builtIn_;
};

}  // namespace vemora::platform
