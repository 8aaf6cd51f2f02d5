// The span font of the show and the texts it draws.
#pragma once
#include <cstdint>

struct GlyphRecord {
  int32_t spanOffset;  // bytes from the start of the span data
  int32_t advance;
  int32_t spanCount;
};

struct SpanRecord {
  int32_t offset;  // (row * 640 + column) * 2 from the pen
  int32_t length;  // pixels
};

using SpanFiller = void (*)(uint32_t pen, const SpanRecord* spans, int32_t count);

// Drawing state shared by every caller.
extern uint16_t textColour;   // used by FillSpans16, in the display's pixel format
extern SpanFiller spanFiller;  // FillSpans16 unless a scene swaps it for a while
extern void* textTarget;       // 640-pixel 16-bit rows, or 640-byte rows for FillSpans8

int32_t glyphCount();   // 128, or 0 when the font data is missing
int32_t glyphHeight();  // 48, or 0 when the font data is missing

int32_t TextWidth(const char* text);
// <windows.h> turns DrawText into the name of a GDI call; here it is always the font's own.
// Units that need both include this header after <windows.h>.
#undef DrawText
void DrawText(uint32_t x, int32_t y, const char* text);
void FillSpans16(uint32_t pen, const SpanRecord* spans, int32_t count);
void FillSpans8(uint32_t pen, const SpanRecord* spans, int32_t count);

// Opening presentation.
extern const char textA[];             // "A"
extern const char textPresentation[];  // "Presentation"
extern const char textAnd[];           // "And"

// Greetings: 23 lines and a null end marker. The heat-flow scenes shuffle the lines after the
// first two in place, so each shuffle starts from the order the last one left.
constexpr int kGreetingCount = 23;
extern const char* greetingWords[kGreetingCount + 1];
// Back to the order of program start.
void RestoreGreetingOrder();

// Closing credits: 61 lines (empty ones included) and a null end marker.
constexpr int kCreditLineCount = 61;
extern const char* const creditLines[kCreditLineCount + 1];

// Shade bobs caption.
extern const char textSouvenirs[];  // "Souvenirs..."
