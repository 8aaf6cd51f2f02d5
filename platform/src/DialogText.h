// The dialogs' text as a host measures and draws it. This base is a host without a face of its
// own: the classic 6 x 13 base units, widths estimated from them, and no ink, the same on every
// machine. A host with fonts answers with its own face (Host::DialogFace).
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

class DialogText {
 public:
  virtual ~DialogText() = default;
  // What the face is, for people reading a log; empty for no face.
  virtual std::string Name() { return ""; }
  // Dialog base units of the face at this pixel height (average letter width, line height), the
  // way Windows measures its dialog font; false when there is no face: the classic units apply.
  virtual bool BaseUnits(int pixelHeight, int& baseX, int& baseY) { return false; }
  // Width of the text in pixels.
  virtual int Width(int pixelHeight, const std::string& text) {
    return static_cast<int>(text.size()) * kEstimatedWidth;
  }
  // Draws the text with its top-left corner at (x, y), clipped to `clip`.
  virtual void Draw(const Canvas& canvas, int pixelHeight, int x, int y, const std::string& text,
                    std::uint32_t colour, const RECT& clip) {}

 protected:
  static constexpr int kEstimatedWidth = 6;
};

}  // namespace vemora::platform
