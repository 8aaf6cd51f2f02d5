// The dialogs' text: a free TrueType sans-serif face (SDL2_ttf) standing in for the templates'
// 8-point system font, drawn without smoothing as the screens of the time showed it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace vemora::platform {

// A block of 0x00RRGGBB pixels to draw into.
struct Canvas {
  std::uint32_t* pixels;
  int width;
  int height;
};

// Dialog base units of the face at this pixel height (average letter width, line height), the
// way Windows measures its dialog font; false when no face could be opened.
bool DialogFontBaseUnits(int pixelHeight, int& baseX, int& baseY);
// Width of the text in pixels; without a face, an estimate from the classic base units.
int DialogTextWidth(int pixelHeight, const std::string& text);
// Draws the text with its top-left corner at (x, y), clipped to `clip`; nothing without a face.
void DrawDialogText(const Canvas& canvas, int pixelHeight, int x, int y, const std::string& text, std::uint32_t colour,
                    const RECT& clip);

}  // namespace vemora::platform
