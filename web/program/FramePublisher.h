// The program's side of the frame triple buffer: it draws into the back slot and publishes it.
#pragma once

#include <cstdint>

#include "PageLink.h"

namespace web {

// What a published frame is, besides its pixels.
struct FrameShape {
  std::uint32_t format = kFormat565;
  int width = kFrameWidth;  // at most kFrameWidth x kFrameHeight
  int height = kFrameHeight;
  PageView view = PageView::kFullScreen;
  const char* title = "";  // cut to kTitleBytes - 1 bytes
};

class FramePublisher {
 public:
  FramePublisher();
  // The back slot's pixels, 16 or 32 bits each, rows back to back; valid until the next Publish.
  std::uint16_t* Back();
  std::uint32_t* Back32();
  // Hands the back slot to the page, which draws the newest frame on its next animation frame.
  void Publish(const FrameShape& shape);

 private:
  std::uint32_t back_ = 0;
};

}  // namespace web
