// The program's side of the frame triple buffer: it draws into the back slot and publishes it.
#pragma once

#include <cstdint>

#include "PageLink.h"

namespace web {

class FramePublisher {
 public:
  FramePublisher();
  // kFramePixels pixels, rows of kFrameWidth, valid until the next Publish.
  std::uint16_t* Back();
  // Hands the back slot to the page, which draws the newest frame on its next animation frame.
  void Publish(std::uint32_t format);

 private:
  std::uint32_t back_ = 0;
};

}  // namespace web
