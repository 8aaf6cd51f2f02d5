// DirectDraw inside the platform: what the hosts need to show the picture, and the frames that
// tests and tools read back (testing.h translates them).
#pragma once

#include <cstdint>
#include <functional>

#include "Core.h"
#include "Window.h"

namespace vemora::platform {

// The visible DirectDraw picture: the front of the full-screen flip chain, or the overlay.
struct ScreenView {
  bool fullScreen = false;
  bool overlayShown = false;
  RECT destination{};  // overlay destination, screen coordinates
  const std::uint8_t* pixels = nullptr;  // 640 x 480, 16-bit, rows `pitch` bytes apart
  int pitch = 0;
  bool rgb555 = false;
  std::uint64_t version = 0;  // changes with every flip, placement or visible write
};

// Calls `visit` with DirectDraw's own lock held; the view is valid only inside.
void VisitScreen(const std::function<void(const ScreenView&)>& visit);

// Version of what DirectDraw shows; changes with every flip, placement or visible write.
std::uint64_t DirectDrawVersion();
// The full-screen picture is up: it hides the window's own pixels.
bool DirectDrawCoversWindow();
// Where the window's client area is, taken under the lock.
struct ClientPlacement {
  int originX = 0, originY = 0;  // client top-left, screen coordinates
  int pixelWidth = 0, pixelHeight = 0;
  bool minimised = false;
};
ClientPlacement PlacementOf(const Window& window);

// A presented frame as a sink gets it, on the presenting thread with no DirectDraw lock held.
struct ShownFrame {
  std::uint64_t atUs = 0;  // host time of the presentation
  bool overlay = false;    // the 5:5:5 overlay rather than the 5:6:5 primary
  bool flipped = true;     // false: written straight into a visible surface
  const std::uint16_t* pixels = nullptr;  // 640 x 480, rows back to back, valid during the call;
                                          // null when the sink did not ask for them
};
using FrameSink = std::function<void(const ShownFrame&)>;

// Forgets every device, surface, fault and recorded frame (Global().lock held).
void ResetDirectDraw();

}  // namespace vemora::platform
