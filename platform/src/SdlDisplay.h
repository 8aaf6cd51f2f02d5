// The DirectDraw picture on an SDL window: full screen letterboxed, or the overlay scaled into
// its destination over the window's own pixels.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "Window.h"

namespace vemora::platform {

// Version of what DirectDraw shows; changes with every flip, placement or visible write.
std::uint64_t DirectDrawVersion();
// Draws over what the renderer holds (lock held). `texture` is the caller's, made on first use.
// True when the full-screen picture covers the whole window.
bool DrawDirectDraw(SDL_Renderer* renderer, const Window& window, SDL_Texture*& texture, bool& texture555);

}  // namespace vemora::platform
