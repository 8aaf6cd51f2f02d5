#include "DialogFont.h"

#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>

namespace vemora::platform {

namespace {

constexpr int kDialogPixels = 11;  // the templates' 8 points, to try a face with

struct Wanted {
  const char* pattern;
  bool anyFamily;  // take whatever fontconfig offers for it
};
// Liberation Sans first: its 11-pixel face has the 6 x 13 base units of the font it stands for.
constexpr Wanted kWanted[] = {{"Liberation Sans", false}, {"DejaVu Sans", false}, {"sans-serif", true}};

struct Match {
  std::string family;
  std::string file;
};

// The face fontconfig matches to the pattern; empty when it has none of that family.
Match Find(FcConfig* config, const Wanted& wanted) {
  Match found;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(wanted.pattern));
  if (pattern == nullptr) return found;
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  FcChar8* family = nullptr;
  FcChar8* file = nullptr;
  if (match != nullptr && FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
      FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
      (wanted.anyFamily || strcasecmp(reinterpret_cast<const char*>(family), wanted.pattern) == 0)) {
    found.family = reinterpret_cast<const char*>(family);
    found.file = reinterpret_cast<const char*>(file);
  }
  if (match != nullptr) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return found;
}

bool Opens(const std::string& file) {
  TTF_Font* face = TTF_OpenFont(file.c_str(), kDialogPixels);
  if (face == nullptr) return false;
  TTF_CloseFont(face);
  return true;
}

}  // namespace

bool DialogFont::HaveFile() {
  if (chosen_) return !file_.empty();
  chosen_ = true;
  // A configuration of its own, read now, so that the environment's at this moment counts.
  FcConfig* config = (TTF_WasInit() || TTF_Init() == 0) ? FcInitLoadConfigAndFonts() : nullptr;
  if (config != nullptr) {
    for (const Wanted& wanted : kWanted) {
      const Match match = Find(config, wanted);
      if (!match.file.empty() && Opens(match.file)) {
        family_ = match.family;
        file_ = match.file;
        break;
      }
    }
    FcConfigDestroy(config);
  }
  if (file_.empty())
    std::fprintf(stderr, "vemora: no font found for the dialogs' text: using the built-in face %s\n", BuiltInFace::kName);
  else
    std::fprintf(stderr, "vemora: the dialogs' text is in %s\n", Name().c_str());
  return !file_.empty();
}

TTF_Font* DialogFont::FaceOf(int pixelHeight) {
  auto found = sizes_.find(pixelHeight);
  if (found != sizes_.end()) return found->second;
  TTF_Font* face = pixelHeight > 0 ? TTF_OpenFont(file_.c_str(), pixelHeight) : nullptr;  // sizes are pixels at 72 dpi
  if (face != nullptr) TTF_SetFontHinting(face, TTF_HINTING_MONO);
  sizes_[pixelHeight] = face;
  return face;
}

std::string DialogFont::Name() {
  if (!HaveFile()) return builtIn_.Name();
  return family_ + " (" + file_ + ")";
}

bool DialogFont::BaseUnits(int pixelHeight, int& baseX, int& baseY) {
  if (!HaveFile()) return builtIn_.BaseUnits(pixelHeight, baseX, baseY);
  TTF_Font* face = FaceOf(pixelHeight);
  int width = 0, height = 0;
  if (face == nullptr || TTF_SizeUTF8(face, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &width, &height) != 0)
    return false;
  baseX = (width / 26 + 1) / 2;  // the average of the 52 letters, rounded as Windows rounds it
  baseY = TTF_FontHeight(face);
  return baseX > 0 && baseY > 0;
}

int DialogFont::Width(int pixelHeight, const std::string& text) {
  if (!HaveFile()) return builtIn_.Width(pixelHeight, text);
  TTF_Font* face = FaceOf(pixelHeight);
  int width = 0, height = 0;
  if (face == nullptr || text.empty() || TTF_SizeUTF8(face, text.c_str(), &width, &height) != 0)
    return DialogText::Width(pixelHeight, text);
  return width;
}

void DialogFont::Draw(const Canvas& canvas, int pixelHeight, int x, int y, const std::string& text,
                      std::uint32_t colour, const RECT& clip) {
  if (!HaveFile()) return builtIn_.Draw(canvas, pixelHeight, x, y, text, colour, clip);
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
