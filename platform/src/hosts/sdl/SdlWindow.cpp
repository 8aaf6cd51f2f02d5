// The SDL window behind the program's window: a pop-up maximised is SDL's desktop full screen on
// the display the window is on; other windows are placed, sized and shown as the program asks.
#include "SdlWindow.h"

#include <algorithm>

#include "Icons.h"

namespace vemora::platform {

namespace {

constexpr int kWindowIconSize = 32;

// Shows the icon on the window unless `shown` already is it; remembers it in `shown`.
void ShowWindowIcon(SDL_Window* window, HICON icon, HICON& shown) {
  IconImage image;
  if (window == nullptr || icon == shown) return;
  shown = icon;
  if (!ProgramIconImage(icon, kWindowIconSize, image)) return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(image.pixels.data(), image.size, image.size, 32,
                                                            image.size * 4, SDL_PIXELFORMAT_ARGB8888);
  if (surface == nullptr) return;
  SDL_SetWindowIcon(window, surface);
  SDL_FreeSurface(surface);
}

// Without a window manager nobody answers the request for full screen: the window covers its
// display by itself too.
void CoverDisplay(SDL_Window* window) {
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window)), &bounds) != 0) return;
  SDL_SetWindowPosition(window, bounds.x, bounds.y);
  SDL_SetWindowSize(window, bounds.w, bounds.h);
}

}  // namespace

void CreateSdlWindow(Window& window) {
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if ((window.style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
  if (window.style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
  RECT client = ClientRect(window);
  RECT nc = NonClient(window.style);
  auto* data = new SdlWindow;
  data->window = SDL_CreateWindow(window.title.c_str(), window.rect.left + nc.left, window.rect.top + nc.top,
                                  std::max<int>(1, client.right), std::max<int>(1, client.bottom), flags);
  if (data->window != nullptr) data->renderer = SDL_CreateRenderer(data->window, -1, 0);
  ShowWindowIcon(data->window, window.windowClass->info.hIcon, data->icon);
  window.hostData = data;
}

void UpdateSdlWindow(Window& window) {
  auto* data = static_cast<SdlWindow*>(window.hostData);
  if (data == nullptr || data->window == nullptr) return;
  ShowWindowIcon(data->window, window.windowClass->info.hIcon, data->icon);
  SDL_SetWindowTitle(data->window, window.title.c_str());
  if (!window.visible) {
    SDL_HideWindow(data->window);
    return;
  }
  SDL_ShowWindow(data->window);
  // A maximised pop-up covers its screen: SDL's desktop full screen, on the display the window
  // is on, above the panels.
  const bool popup = (window.style & WS_CAPTION) != WS_CAPTION;
  const bool fullScreen = popup && window.show == ShowState::Maximised;
  if (fullScreen && !(SDL_GetWindowFlags(data->window) & SDL_WINDOW_FULLSCREEN)) CoverDisplay(data->window);
  SDL_SetWindowFullscreen(data->window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  switch (window.show) {
    case ShowState::Minimised:
      SDL_MinimizeWindow(data->window);
      break;
    case ShowState::Maximised:
      if (!fullScreen) SDL_MaximizeWindow(data->window);
      break;
    case ShowState::Normal: {
      SDL_RestoreWindow(data->window);
      RECT client = ClientRect(window);
      RECT nc = NonClient(window.style);
      SDL_SetWindowSize(data->window, std::max<int>(1, client.right), std::max<int>(1, client.bottom));
      SDL_SetWindowPosition(data->window, window.rect.left + nc.left, window.rect.top + nc.top);
      break;
    }
  }
  data->presentedVersion = 0;
}

void DestroySdlWindow(Window& window) {
  auto* data = static_cast<SdlWindow*>(window.hostData);
  if (data == nullptr) return;
  if (data->texture != nullptr) SDL_DestroyTexture(data->texture);
  if (data->screenTexture != nullptr) SDL_DestroyTexture(data->screenTexture);
  if (data->renderer != nullptr) SDL_DestroyRenderer(data->renderer);
  if (data->window != nullptr) SDL_DestroyWindow(data->window);
  delete data;
  window.hostData = nullptr;
}

}  // namespace vemora::platform
