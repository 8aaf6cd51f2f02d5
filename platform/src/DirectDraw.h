// DirectDraw inside the platform: what the hosts need to show the picture.
#pragma once

#include <cstdint>
#include <functional>

#include "Core.h"

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

// Forgets every device, surface, fault and recorded frame (Global().lock held).
void ResetDirectDraw();

}  // namespace vemora::platform
