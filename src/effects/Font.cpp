#include "effects/Font.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "assets/Assets.h"

uint16_t textColour = 0;
SpanFiller spanFiller = FillSpans16;
void* textTarget = nullptr;

namespace {

constexpr int32_t kScreenWidth = 640;
constexpr int32_t kScreenHeight = 480;
constexpr int32_t kGlyphHeight = 48;
constexpr int32_t kGlyphCount = 128;
constexpr int32_t kHeaderSize = 8 + kGlyphCount * 12;

// The font block as embedded: header, glyph records, spans. Checked once so that drawing can
// trust every record and every span stays inside its glyph cell; a damaged or missing block
// leaves the font without glyphs.
struct FontView {
  const GlyphRecord* glyphs = nullptr;
  const uint8_t* spans = nullptr;
};

bool SpansFit(const GlyphRecord& g, const uint8_t* spans) {
  for (int32_t i = 0; i < g.spanCount; ++i) {
    SpanRecord s;
    std::memcpy(&s, spans + g.spanOffset + 8 * i, sizeof s);
    const int32_t row = s.offset / (kScreenWidth * 2), column = s.offset % (kScreenWidth * 2) / 2;
    if (s.offset < 0 || s.offset % 2 != 0 || row >= kGlyphHeight || s.length < 1 || s.length > g.advance ||
        column + s.length > g.advance)
      return false;
  }
  return true;
}

FontView Load() {
  Asset asset = FontData();
  FontView view;
  if (!asset.data || asset.size < kHeaderSize) return view;
  int32_t count, height;
  std::memcpy(&count, asset.data, 4);
  std::memcpy(&height, asset.data + 4, 4);
  if (count != kGlyphCount || height != kGlyphHeight) return view;
  const auto* glyphs = reinterpret_cast<const GlyphRecord*>(asset.data + 8);
  const uint8_t* spans = asset.data + kHeaderSize;
  const int64_t spanBytes = asset.size - kHeaderSize;
  for (int32_t i = 0; i < kGlyphCount; ++i) {
    const GlyphRecord& g = glyphs[i];
    if (g.advance < 0 || g.advance > kScreenWidth || g.spanCount < 0 || g.spanOffset < 0 ||
        g.spanOffset + int64_t{g.spanCount} * 8 > spanBytes || !SpansFit(g, spans))
      return view;
  }
  view.glyphs = glyphs;
  view.spans = spans;
  return view;
}

const FontView& Font() {
  static const FontView view = Load();
  return view;
}

// Codes outside 0..127 have no record: they draw nothing and take no room.
const GlyphRecord* Glyph(char c) {
  const auto code = static_cast<signed char>(c);
  if (code < 0 || !Font().glyphs) return nullptr;
  return &Font().glyphs[code];
}

}  // namespace

int32_t glyphCount() { return Font().glyphs ? kGlyphCount : 0; }
int32_t glyphHeight() { return Font().glyphs ? kGlyphHeight : 0; }

int32_t TextWidth(const char* text) {
  if (!text) return 0;
  int32_t width = 0;
  for (; *text; ++text)
    if (const GlyphRecord* g = Glyph(*text)) width += g->advance;
  return width;
}

void DrawText(uint32_t x, int32_t y, const char* text) {
  if (!text || x > static_cast<uint32_t>(kScreenWidth) || y < 0 || y > kScreenHeight - kGlyphHeight) return;
  uint32_t pen = (static_cast<uint32_t>(y) * kScreenWidth + x) * 2;
  for (; *text; ++text) {
    const GlyphRecord* g = Glyph(*text);
    if (!g) continue;
    const uint32_t advance = static_cast<uint32_t>(g->advance);
    if (x + advance > static_cast<uint32_t>(kScreenWidth)) return;
    spanFiller(pen, reinterpret_cast<const SpanRecord*>(Font().spans + g->spanOffset), g->spanCount);
    x += advance;
    pen += advance * 2;
  }
}

void FillSpans16(uint32_t pen, const SpanRecord* spans, int32_t count) {
  auto* base = static_cast<uint8_t*>(textTarget) + pen;
  for (int32_t i = 0; i < count; ++i) {
    auto* out = reinterpret_cast<uint16_t*>(base + spans[i].offset);
    for (int32_t k = 0; k < spans[i].length; ++k) out[k] = textColour;
  }
}

void FillSpans8(uint32_t pen, const SpanRecord* spans, int32_t count) {
  auto* base = static_cast<uint8_t*>(textTarget) + pen / 2;
  for (int32_t i = 0; i < count; ++i) std::memset(base + spans[i].offset / 2, 255, spans[i].length);
}

const char textA[] = "A";
const char textPresentation[] = "Presentation";
const char textAnd[] = "And";
const char textSouvenirs[] = "Souvenirs...";

const char* greetingWords[kGreetingCount + 1] = {
    "Hello to",
    "(in random order )",
    "Glimmerfax",
    "Pellucid Yak",
    "Umbral Kettle",
    "Hix",
    "Tinfoil Orrery",
    "Saltmarsh Debuggers",
    "Quembly",
    "Nimbus Quarry",
    "Velk Morrow",
    "The Considerate Lamplighterz",
    "Sorrel and the Gnats",
    "Kolibrium",
    "Drowsy Parallax",
    "Zanthe",
    "Moth Cartel",
    "Brasswhisker Orchestra",
    "Ferrule",
    "Yonder Pixel Union",
    "Grobnik",
    "Cinderwake",
    "(and others)",
    nullptr,
};

namespace {
// The order at program start; the heat-flow scenes shuffle greetingWords in place.
const auto greetingsAsWritten = std::to_array(greetingWords);
}  // namespace

void RestoreGreetingOrder() { std::copy(greetingsAsWritten.begin(), greetingsAsWritten.end(), greetingWords); }

const char* const creditLines[kCreditLineCount + 1] = {
    "", "", "", "", "", "", "", "",
    "Marquelite",
    "", "",
    "First presented at",
    "FESTA'99",
    "", "",
    "Code and Trax",
    "Ostrapod",
    "(ostrapod@example.org)",
    "", "",
    "Code and gfx",
    "Mistral Skerry",
    "(skerry@example.net)",
    "", "",
    "Demo Engine and",
    "MusicPlayer Code",
    "Plinkbit",
    "(plinkbit@example.com)",
    "", "", "",
    "Hope you enjoyed this",
    "little demo made in",
    "three days.",
    "",
    "it runs in 16bit color",
    "all software rendered",
    "internally.",
    "",
    "no 3d parts :\\",
    "except those stars",
    "", "", "", "", "", "", "",
    "and we go again...",
    "ESC to quit",
    "or even ALT+F4",
    "or maybe ALT+CTRL+DEL",
    "if you dare",
    "", "", "", "", "", "", "",
    nullptr,
};
