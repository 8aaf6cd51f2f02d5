// Makes the dialogs' built-in face: the printable ASCII characters of a TrueType face, drawn the
// way the SDL host draws dialog text (SDL2_ttf, monochrome hinting, HarfBuzz's advances and
// kerning), written as the C++ tables of platform/src/BuiltInFaceData.h.
// usage: makedialogface FONT.ttf OUT.cpp
#include <SDL.h>
#include <SDL_ttf.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include <hb-ft.h>
#include <hb.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kFirstChar = 32;
constexpr int kLastChar = 126;
// The Settings dialog's 8 points at 96 dots per inch.
constexpr int kPixelHeights[] = {11};

struct Glyph {
  int advance = 0;
  int boxLeft = 0, boxWidth = 0, boxTop = 0, boxRows = 0;
  int inkLeft = 0, inkTop = 0, inkWidth = 0, inkRows = 0;
  std::vector<std::uint8_t> coverage;
};

struct Kerning {
  char first, second;
  int adjust;
};

struct Size {
  int pixelHeight = 0;
  int ascent = 0;
  int lineHeight = 0;
  std::vector<Glyph> glyphs;
  std::vector<Kerning> kerning;
};

// HarfBuzz as SDL2_ttf sets it up for a face: the same size, monochrome hinting.
class Shaper {
 public:
  Shaper(FT_Face face) : font_(hb_ft_font_create_referenced(face)) {
    hb_ft_font_set_load_flags(font_, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO);
  }
  ~Shaper() { hb_font_destroy(font_); }
  Shaper(const Shaper&) = delete;
  Shaper& operator=(const Shaper&) = delete;

  // Advances and offsets of the shaped text, 1/64 pixel.
  std::vector<hb_glyph_position_t> Shape(const std::string& text) const {
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_set_direction(buffer, HB_DIRECTION_LTR);
    hb_buffer_set_script(buffer, HB_SCRIPT_UNKNOWN);
    hb_buffer_add_utf8(buffer, text.c_str(), -1, 0, -1);
    hb_shape(font_, buffer, nullptr, 0);
    unsigned count = 0;
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
    std::vector<hb_glyph_position_t> out(positions, positions + count);
    hb_buffer_destroy(buffer);
    return out;
  }

 private:
  hb_font_t* font_;
};

// The ink of one character as SDL2_ttf renders it alone, cropped to its coverage.
bool Ink(TTF_Font* font, char c, Glyph& glyph, int ascent, std::string& error) {
  const char text[2] = {c, '\0'};
  SDL_Surface* surface = TTF_RenderUTF8_Solid(font, text, SDL_Color{0, 0, 0, 255});
  if (surface == nullptr) {
    error = std::string("cannot render '") + c + "': " + TTF_GetError();
    return false;
  }
  // The renderer moves the line right (down) when a glyph reaches left of the pen (above the line).
  const int xStart = glyph.boxLeft < 0 ? -glyph.boxLeft : 0;
  const int yStart = ascent - glyph.boxTop < 0 ? glyph.boxTop - ascent : 0;
  auto inked = [surface](int x, int y) {
    return static_cast<const std::uint8_t*>(surface->pixels)[y * surface->pitch + x] != 0;
  };
  int left = surface->w, right = -1, top = surface->h, bottom = -1;
  for (int y = 0; y < surface->h; ++y)
    for (int x = 0; x < surface->w; ++x)
      if (inked(x, y)) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  if (right >= 0) {
    glyph.inkLeft = left - xStart;
    glyph.inkTop = top - yStart;
    glyph.inkWidth = right - left + 1;
    glyph.inkRows = bottom - top + 1;
    for (int y = top; y <= bottom; ++y)
      for (int x = left; x <= right; ++x) glyph.coverage.push_back(inked(x, y) ? 255 : 0);
  }
  SDL_FreeSurface(surface);
  return true;
}

bool MakeSize(const char* path, FT_Library library, int pixelHeight, Size& size, std::string& error) {
  TTF_Font* font = TTF_OpenFont(path, pixelHeight);
  FT_Face face = nullptr;
  if (font == nullptr || FT_New_Face(library, path, 0, &face) != 0 || FT_Set_Char_Size(face, 0, pixelHeight * 64, 0, 0) != 0) {
    error = std::string("cannot open ") + path;
    if (font != nullptr) TTF_CloseFont(font);
    if (face != nullptr) FT_Done_Face(face);
    return false;
  }
  TTF_SetFontHinting(font, TTF_HINTING_MONO);
  const Shaper shaper(face);
  FT_Done_Face(face);  // the shaper holds its own reference
  size.pixelHeight = pixelHeight;
  size.ascent = TTF_FontAscent(font);
  size.lineHeight = TTF_FontHeight(font);
  bool ok = true;
  for (int c = kFirstChar; ok && c <= kLastChar; ++c) {
    Glyph glyph;
    int minX = 0, maxX = 0, minY = 0, maxY = 0, advance = 0;
    if (TTF_GlyphMetrics32(font, static_cast<Uint32>(c), &minX, &maxX, &minY, &maxY, &advance) != 0) {
      error = std::string("no metrics for '") + static_cast<char>(c) + "'";
      ok = false;
      break;
    }
    glyph.boxLeft = minX;
    glyph.boxWidth = maxX - minX;
    glyph.boxTop = maxY;
    glyph.boxRows = maxY - minY;
    glyph.advance = shaper.Shape(std::string(1, static_cast<char>(c)))[0].x_advance;
    ok = Ink(font, static_cast<char>(c), glyph, size.ascent, error);
    size.glyphs.push_back(std::move(glyph));
  }
  // A pair's kerning moves the second glyph and every one after it.
  for (int a = kFirstChar; ok && a <= kLastChar; ++a)
    for (int b = kFirstChar; b <= kLastChar; ++b) {
      const std::vector<hb_glyph_position_t> pair = shaper.Shape({static_cast<char>(a), static_cast<char>(b)});
      const int adjust = pair[0].x_advance + pair[1].x_offset - size.glyphs[a - kFirstChar].advance;
      if (adjust != 0) size.kerning.push_back({static_cast<char>(a), static_cast<char>(b), adjust});
    }
  TTF_CloseFont(font);
  return ok;
}

// An English name of the face (name table, Windows platform), in ASCII.
std::string FaceName(FT_Face face, int id) {
  for (FT_UInt i = 0; i < FT_Get_Sfnt_Name_Count(face); ++i) {
    FT_SfntName name;
    if (FT_Get_Sfnt_Name(face, i, &name) != 0 || name.name_id != id || name.platform_id != TT_PLATFORM_MICROSOFT ||
        name.language_id != TT_MS_LANGID_ENGLISH_UNITED_STATES)
      continue;
    std::string text;
    for (FT_UInt j = 1; j < name.string_len; j += 2)
      if (name.string[j - 1] == 0 && name.string[j] >= 0x20 && name.string[j] < 0x7F) text += static_cast<char>(name.string[j]);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }
  return "";
}

std::string Quoted(char c) {
  if (c == '\'' || c == '\\') return std::string("'\\") + c + "'";
  return std::string("'") + c + "'";
}

void WriteSize(std::FILE* out, const Size& size, int& coverageAt) {
  const int px = size.pixelHeight;
  std::fprintf(out, "\nconst Glyph kGlyphs%d[kGlyphCount] = {\n", px);
  for (std::size_t i = 0; i < size.glyphs.size(); ++i) {
    const Glyph& g = size.glyphs[i];
    std::fprintf(out, "    {%d, %d, %d, %d, %d, %d, %d, %d, %d, %d},  // %s\n", g.advance, g.boxLeft, g.boxWidth, g.boxTop,
                 g.boxRows, g.inkLeft, g.inkTop, g.inkWidth, g.inkRows, coverageAt,
                 Quoted(static_cast<char>(kFirstChar + i)).c_str());
    coverageAt += static_cast<int>(g.coverage.size());
  }
  std::fprintf(out, "};\n\nconst Kerning kKerning%d[] = {\n", px);
  for (const Kerning& k : size.kerning)
    std::fprintf(out, "    {%s, %s, %d},\n", Quoted(k.first).c_str(), Quoted(k.second).c_str(), k.adjust);
  std::fprintf(out, "};\n");
}

bool Write(const char* path, const std::string& copyright, const std::string& version, const std::vector<Size>& sizes) {
  std::FILE* out = std::fopen(path, "w");
  if (out == nullptr) return false;
  std::fprintf(out,
               "// Vemora Sans, the dialogs' built-in face: a bitmap face derived from Liberation Sans Regular\n"
               "// (%s), made by tools/content/dialogface (makedialogface). Do not edit.\n"
               "//\n"
               "// Liberation Sans: %s\n"
               "// This Font Software is licensed under the SIL Open Font License, Version 1.1 (OFL.txt\n"
               "// beside this file); so is this derived face, which keeps none of the reserved names.\n"
               "#include \"BuiltInFaceData.h\"\n\nnamespace vemora::platform::builtinface {\n\nnamespace {\n",
               version.c_str(), copyright.c_str());
  int coverageAt = 0;
  for (const Size& size : sizes) WriteSize(out, size, coverageAt);
  std::fprintf(out, "\n}  // namespace\n\nconst Size kSizes[] = {\n");
  for (const Size& size : sizes)
    std::fprintf(out, "    {%d, %d, %d, kGlyphs%d, kKerning%d, %d},\n", size.pixelHeight, size.ascent, size.lineHeight,
                 size.pixelHeight, size.pixelHeight, static_cast<int>(size.kerning.size()));
  std::fprintf(out, "};\nconst int kSizeCount = %d;\n\nconst std::uint8_t kCoverage[] = {", static_cast<int>(sizes.size()));
  int column = 0;
  for (const Size& size : sizes)
    for (const Glyph& glyph : size.glyphs)
      for (std::uint8_t value : glyph.coverage) {
        std::fprintf(out, "%s%s%d", column == 0 ? "\n   " : "", " ", value);
        std::fputc(',', out);
        column = (column + 1) % 20;
      }
  std::fprintf(out, "\n};\n\n}  // namespace vemora::platform::builtinface\n");
  return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: makedialogface FONT.ttf OUT.cpp\n");
    return 2;
  }
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (TTF_Init() != 0 || FT_Init_FreeType(&library) != 0 || FT_New_Face(library, argv[1], 0, &face) != 0) {
    std::fprintf(stderr, "makedialogface: cannot open %s\n", argv[1]);
    return 1;
  }
  const std::string copyright = FaceName(face, TT_NAME_ID_COPYRIGHT), version = FaceName(face, TT_NAME_ID_VERSION_STRING);
  FT_Done_Face(face);
  std::vector<Size> sizes;
  for (int pixelHeight : kPixelHeights) {
    Size size;
    std::string error;
    if (!MakeSize(argv[1], library, pixelHeight, size, error)) {
      std::fprintf(stderr, "makedialogface: %s\n", error.c_str());
      return 1;
    }
    sizes.push_back(std::move(size));
  }
  if (!Write(argv[2], copyright, version, sizes)) {
    std::fprintf(stderr, "makedialogface: cannot write %s\n", argv[2]);
    return 1;
  }
  FT_Done_FreeType(library);
  TTF_Quit();
  return 0;
}
