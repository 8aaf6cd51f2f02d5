// The DirectDraw picture on an SDL window: full screen letterboxed, or the overlay scaled into
// its destination over the window's own pixels.
#pragma once

#include <SDL.h>

#include "DirectDraw.h"

namespace vemora::platform {

// Draws over what the renderer holds (lock not needed). `texture` is the caller's, made on first
// use.
void DrawDirectDraw(SDL_Renderer* renderer, const ClientPlacement& client, SDL_Texture*& texture, bool& texture555);

}  // namespace vemora::platform
