#include "SdlDisplay.h"

#include <algorithm>

namespace vemora::platform {

void DrawDirectDraw(SDL_Renderer* renderer, const ClientPlacement& client, SDL_Texture*& texture, bool& texture555) {
  VisitScreen([&](const ScreenView& view) {
    if (view.pixels == nullptr) return;
    if (texture == nullptr || texture555 != view.rgb555) {
      if (texture != nullptr) SDL_DestroyTexture(texture);
      texture = SDL_CreateTexture(renderer, view.rgb555 ? SDL_PIXELFORMAT_RGB555 : SDL_PIXELFORMAT_RGB565,
                                  SDL_TEXTUREACCESS_STREAMING, 640, 480);
      texture555 = view.rgb555;
      // Page flipping waits for the display refresh; the windowed overlay does not.
      SDL_RenderSetVSync(renderer, view.fullScreen ? 1 : 0);
    }
    if (texture == nullptr) return;
    SDL_UpdateTexture(texture, nullptr, view.pixels, view.pitch);
    int outWidth = 0, outHeight = 0;
    SDL_GetRendererOutputSize(renderer, &outWidth, &outHeight);
    if (view.fullScreen) {
      // Aspect kept, black bars on the longer side.
      const double scale = std::min(outWidth / 640.0, outHeight / 480.0);
      SDL_Rect target{0, 0, static_cast<int>(640 * scale), static_cast<int>(480 * scale)};
      target.x = (outWidth - target.w) / 2;
      target.y = (outHeight - target.h) / 2;
      SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
      SDL_RenderClear(renderer);
      SDL_RenderCopy(renderer, texture, nullptr, &target);
      return;
    }
    if (client.minimised || client.pixelWidth <= 0 || client.pixelHeight <= 0) return;
    // The destination is in screen coordinates; the SDL window is the client area.
    const int originX = client.originX, originY = client.originY;
    const double sx = static_cast<double>(outWidth) / client.pixelWidth;
    const double sy = static_cast<double>(outHeight) / client.pixelHeight;
    SDL_Rect target{static_cast<int>((view.destination.left - originX) * sx),
                    static_cast<int>((view.destination.top - originY) * sy),
                    static_cast<int>((view.destination.right - view.destination.left) * sx),
                    static_cast<int>((view.destination.bottom - view.destination.top) * sy)};
    if (target.w > 0 && target.h > 0) SDL_RenderCopy(renderer, texture, nullptr, &target);
  });
}

}  // namespace vemora::platform
