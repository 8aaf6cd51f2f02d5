// What the page shows: DirectDraw's picture while it is up, otherwise the program's window as
// GDI left it, published as frames that the page draws on its next animation frame.
#pragma once

#include <cstdint>
#include <mutex>

#include "FramePublisher.h"

namespace vemora::platform {

class WebPresenter {
 public:
  // Publishes what the page should show now, when it changed since the last frame; at most every
  // 16 ms unless forced (DirectDraw's picture changed). Lock held.
  void Present(std::unique_lock<std::mutex>& held, bool force);
  // A window was made, changed (title, place, show state) or destroyed (lock held).
  void WindowsChanged() { ++windowsVersion_; }

 private:
  // What the last frame was made from.
  struct Source {
    std::uint64_t screen = 0;   // DirectDraw's version
    std::uint64_t windows = 0;  // windowsVersion_
    unsigned window = 0;        // the window shown, 0 for none
    std::uint64_t pixels = 0;   // its pixels' version
    bool operator==(const Source&) const = default;
  };

  bool PublishScreen();
  void PublishWindow();

  web::FramePublisher frames_;
  std::uint64_t windowsVersion_ = 1;
  Source published_;
  std::uint64_t publishedAtUs_ = 0;
};

}  // namespace vemora::platform
