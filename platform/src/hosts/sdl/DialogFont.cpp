#include "DialogFont.h"

#include <SDL_ttf.h>

#include <algorithm>
#include <map>

namespace vemora::platform {

namespace {

// Liberation Sans first: its 11-pixel face has the 6 x 13 base units of the font it stands for.
const char* const kFaces[] = {
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
};

// Opened once per size and kept (a failure too); used with the platform's lock held.
std::map<int, TTF_Font*>& faces = *new std::map<int, TTF_Font*>;
const char* openedFace = nullptr;

TTF_Font* FaceOf(int pixelHeight) {
  auto found = faces.find(pixelHeight);
  if (found != faces.end()) return found->second;
  TTF_Font* face = nullptr;
  if (pixelHeight > 0 && (TTF_WasInit() || TTF_Init() == 0)) {
    for (const char* path : kFaces)
      if ((face = TTF_OpenFont(path, pixelHeight)) != nullptr) {  // sizes are pixels at 72 dpi
        openedFace = path;
        break;
      }
  }
  if (face != nullptr) TTF_SetFontHinting(face, TTF_HINTING_MONO);
  faces[pixelHeight] = face;
  return face;
}

}  // namespace

std::string DialogFont::Name() {
  FaceOf(11);
  return openedFace != nullptr ? openedFace : "";
}

bool DialogFont::BaseUnits(int pixelHeight, int& baseX, int& baseY) {
  TTF_Font* face = FaceOf(pixelHeight);
  int width = 0, height = 0;
  if (face == nullptr || TTF_SizeUTF8(face, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &width, &height) != 0)
    return false;
  baseX = (width / 26 + 1) / 2;  // the average of the 52 letters, rounded as Windows rounds it
  baseY = TTF_FontHeight(face);
  return baseX > 0 && baseY > 0;
}

int DialogFont::Width(int pixelHeight, const std::string& text) {
  TTF_Font* face = FaceOf(pixelHeight);
  int width = 0, height = 0;
  if (face == nullptr || text.empty() || TTF_SizeUTF8(face, text.c_str(), &width, &height) != 0)
    return DialogText::Width(pixelHeight, text);
  return width;
}

void DialogFont::Draw(const Canvas& canvas, int pixelHeight, int x, int y, const std::string& text,
                      std::uint32_t colour, const RECT& clip) {
  TTF_Font* face = FaceOf(pixelHeight);
  if (face == nullptr || text.empty()) return;
  SDL_Surface* glyphs = TTF_RenderUTF8_Solid(face, text.c_str(), SDL_Color{0, 0, 0, 255});
  if (glyphs == nullptr) return;
  // Index 0 of the rendered picture is the background; everything else is ink.
  const int left = std::max({0, static_cast<int>(clip.left), x});
  const int right = std::min({canvas.width, static_cast<int>(clip.right), x + glyphs->w});
  const int top = std::max({0, static_cast<int>(clip.top), y});
  const int bottom = std::min({canvas.height, static_cast<int>(clip.bottom), y + glyphs->h});
  for (int row = top; row < bottom; ++row) {
    const auto* ink = static_cast<const std::uint8_t*>(glyphs->pixels) + (row - y) * glyphs->pitch;
    std::uint32_t* out = canvas.pixels + static_cast<std::ptrdiff_t>(row) * canvas.width;
    for (int column = left; column < right; ++column)
      if (ink[column - x] != 0) out[column] = colour;
  }
  SDL_FreeSurface(glyphs);
}

}  // namespace vemora::platform
