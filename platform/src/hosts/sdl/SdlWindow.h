// The SDL window behind the program's window: made, shown, placed and destroyed with it, and
// what it last showed. Everything here is used with the lock held.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "Window.h"

namespace vemora::platform {

struct SdlWindow {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int textureWidth = 0;
  int textureHeight = 0;
  std::uint64_t presentedVersion = 0;
  std::uint64_t presentedScreen = 0;  // DirectDraw version shown
  std::uint64_t uploadedVersion = 0;  // window pixels in `texture`
  SDL_Texture* screenTexture = nullptr;
  bool screen555 = false;
  HICON icon = nullptr;  // the class icon shown on the window
};

void CreateSdlWindow(Window& window);
// Title, icon, visibility, show state and place, as the window has them now.
void UpdateSdlWindow(Window& window);
void DestroySdlWindow(Window& window);

}  // namespace vemora::platform
