#include "GlyphSource.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace glyphs {
namespace {

struct Band {
  char name;
  int first, last;
};
constexpr Band kBands[] = {{'a', 9, 11},  {'b', 12, 17}, {'c', 18, 20}, {'d', 21, 21}, {'e', 22, 24},
                           {'f', 25, 26}, {'g', 27, 29}, {'h', 30, 34}, {'i', 35, 37}, {'j', 38, 43},
                           {'k', 44, 44}, {'l', 45, 46}, {'m', 47, 47}};

const Band* FindBand(char name) {
  for (const Band& band : kBands)
    if (band.name == name) return &band;
  return nullptr;
}

constexpr int kFirstInkColumn = 2;

}  // namespace

bool Load(const std::string& path, Font& font, std::string& error) {
  font = Font{};
  std::ifstream in(path);
  if (!in) {
    error = path + ": cannot open";
    return false;
  }
  std::string line;
  int lineNumber = 0;
  Glyph* current = nullptr;
  std::vector<int> widths;
  auto fail = [&](const std::string& why) {
    error = path + ":" + std::to_string(lineNumber) + ": " + why;
    return false;
  };
  while (std::getline(in, line)) {
    ++lineNumber;
    if (line.empty() || line[0] == ';') continue;
    std::istringstream fields(line);
    std::string head;
    fields >> head;
    if (head == "glyph") {
      int code = -1, advance = -1;
      std::string widthList;
      fields >> code >> advance >> widthList;
      if (code < 0 || code >= kCount || advance < 0 || advance > 640) return fail("bad glyph header");
      current = &font[code];
      if (current->advance != 0 || !current->ink.empty()) return fail("glyph defined twice");
      current->advance = advance;
      current->ink.assign(kHeight * advance, 0);
      widths.clear();
      std::istringstream list(widthList);
      std::string item;
      int total = kFirstInkColumn;
      while (std::getline(list, item, ',')) {
        int width = std::atoi(item.c_str());
        if (width <= 0) return fail("bad column width");
        widths.push_back(width);
        total += width;
      }
      if (!widths.empty() && total > advance) return fail("column bands pass the advance");
      continue;
    }
    const Band* band = head.size() == 1 ? FindBand(head[0]) : nullptr;
    if (!band) return fail("unknown line");
    if (!current) return fail("art before any glyph");
    std::string art;
    fields >> art;
    if (art.size() != widths.size()) return fail("art does not match the column bands");
    int column = kFirstInkColumn;
    for (size_t i = 0; i < art.size(); ++i) {
      if (art[i] != '#' && art[i] != '.') return fail("art uses a character other than # and .");
      if (art[i] == '#')
        for (int row = band->first; row <= band->last; ++row)
          for (int x = column; x < column + widths[i]; ++x) current->ink[row * current->advance + x] = 1;
      column += widths[i];
    }
  }
  return true;
}

int Width(const Font& font, const std::string& text) {
  int width = 0;
  for (unsigned char c : text)
    if (c < kCount) width += font[c].advance;
  return width;
}

}  // namespace glyphs
