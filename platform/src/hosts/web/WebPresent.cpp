#include "WebPresent.h"

#include <algorithm>
#include <cstring>

#include "DirectDraw.h"
#include "Host.h"
#include "Window.h"

namespace vemora::platform {

namespace {

constexpr std::uint64_t kPresentIntervalUs = 16000;  // about 60 pictures a second

bool Captioned(const Window& window) { return (window.style & WS_CAPTION) == WS_CAPTION; }

// A pop-up over the whole screen is the full-screen show's window, there before its picture.
web::PageView ViewOf(const Window& window) {
  return !Captioned(window) && window.show == ShowState::Maximised ? web::PageView::kFullScreen
                                                                   : web::PageView::kPage;
}

}  // namespace

void WebPresenter::Present(std::unique_lock<std::mutex>&, bool force) {
  const std::uint64_t now = CurrentHost().NowUs();
  if (!force && now - publishedAtUs_ < kPresentIntervalUs) return;
  Source source;
  source.screen = DirectDrawVersion();
  source.windows = windowsVersion_;
  const Window* window = TargetWindow();
  if (window != nullptr) {
    source.window = window->id;
    source.pixels = window->pixelVersion;
  }
  if (source == published_) return;
  published_ = source;
  publishedAtUs_ = now;
  if (!PublishScreen()) PublishWindow();
}

// DirectDraw's picture, when one is up: the full-screen flip chain or the windowed overlay.
bool WebPresenter::PublishScreen() {
  bool shown = false;
  VisitScreen([&](const ScreenView& view) {
    if (view.pixels == nullptr) return;
    std::uint16_t* out = frames_.Back();
    for (int y = 0; y < web::kFrameHeight; ++y)
      std::memcpy(out + y * web::kFrameWidth, view.pixels + static_cast<std::ptrdiff_t>(y) * view.pitch,
                  web::kFrameWidth * sizeof(std::uint16_t));
    web::FrameShape shape;
    shape.format = view.rgb555 ? web::kFormat555 : web::kFormat565;
    shape.view = view.fullScreen ? web::PageView::kFullScreen : web::PageView::kWindowed;
    frames_.Publish(shape);
    shown = true;
  });
  return shown;
}

// The program's newest window as GDI left it, cut to the largest frame.
void WebPresenter::PublishWindow() {
  const Window* window = TargetWindow();
  if (window == nullptr || !window->visible || window->show == ShowState::Minimised || window->pixelWidth <= 0 ||
      window->pixelHeight <= 0)
    return;
  const int width = std::min(window->pixelWidth, web::kFrameWidth);
  const int height = std::min(window->pixelHeight, web::kFrameHeight);
  std::uint32_t* out = frames_.Back32();
  for (int y = 0; y < height; ++y)
    std::memcpy(out + y * width, window->pixels.data() + static_cast<std::size_t>(y) * window->pixelWidth,
                width * sizeof(std::uint32_t));
  web::FrameShape shape;
  shape.format = web::kFormat888;
  shape.width = width;
  shape.height = height;
  shape.view = ViewOf(*window);
  shape.title = Captioned(*window) ? window->title.c_str() : "";
  frames_.Publish(shape);
}

}  // namespace vemora::platform
