// What the SDL host shows of the program's window: its pixels and DirectDraw's picture, about
// 60 times a second, or at once when DirectDraw's picture changed.
#include "SdlPresent.h"

#include "SdlDisplay.h"

namespace vemora::platform {

namespace {

constexpr std::uint64_t kPresentIntervalUs = 16000;  // about 60 pictures a second

}  // namespace

// Shows the window's pixels and DirectDraw's picture, at most every kPresentIntervalUs unless
// forced. The window's pixels are copied under the lock, and only when GDI changed them and the
// full-screen picture does not hide them; uploading and drawing happen without the lock, so
// that the other threads are not held up.
void SdlPresenter::Present(std::unique_lock<std::mutex>& held, std::uint64_t now, bool force) {
  if (!force && now - lastPresent_ < kPresentIntervalUs) return;
  Window* window = TargetWindow();
  if (window == nullptr || !window->visible || window->hostData == nullptr) return;
  auto* data = static_cast<SdlWindow*>(window->hostData);
  if (data->renderer == nullptr || window->pixelWidth == 0 || window->pixelHeight == 0) return;
  const std::uint64_t screen = DirectDrawVersion();
  if (data->presentedVersion == window->pixelVersion && data->presentedVersion != 0 &&
      data->presentedScreen == screen)
    return;
  const int width = window->pixelWidth;
  const int height = window->pixelHeight;
  const ClientPlacement placement = PlacementOf(*window);
  const bool pixelsShow = !DirectDrawCoversWindow();
  const bool upload = pixelsShow && (data->uploadedVersion != window->pixelVersion || data->textureWidth != width ||
                                     data->textureHeight != height);
  if (upload) {
    staging_.assign(window->pixels.begin(), window->pixels.end());
    data->uploadedVersion = window->pixelVersion;
  }
  data->presentedVersion = window->pixelVersion;
  data->presentedScreen = screen;
  lastPresent_ = now;
  held.unlock();
  if (upload) Upload(*data, width, height);
  SDL_RenderClear(data->renderer);
  if (pixelsShow && data->texture != nullptr) SDL_RenderCopy(data->renderer, data->texture, nullptr, nullptr);
  DrawDirectDraw(data->renderer, placement, data->screenTexture, data->screen555);
  SDL_RenderPresent(data->renderer);
  held.lock();
}

// The window's pixels from staging_ into its texture (lock not held).
void SdlPresenter::Upload(SdlWindow& data, int width, int height) {
  if (data.texture == nullptr || data.textureWidth != width || data.textureHeight != height) {
    if (data.texture != nullptr) SDL_DestroyTexture(data.texture);
    data.texture = SDL_CreateTexture(data.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
    data.textureWidth = width;
    data.textureHeight = height;
  }
  if (data.texture != nullptr) SDL_UpdateTexture(data.texture, nullptr, staging_.data(), width * 4);
}

}  // namespace vemora::platform
