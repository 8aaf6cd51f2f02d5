// The DirectDraw picture on an SDL window: full screen letterboxed, or the overlay scaled into
// its destination over the window's own pixels.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "Window.h"

namespace vemora::platform {

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

// Draws over what the renderer holds (lock not needed). `texture` is the caller's, made on first
// use.
void DrawDirectDraw(SDL_Renderer* renderer, const ClientPlacement& client, SDL_Texture*& texture, bool& texture555);

}  // namespace vemora::platform
