// What the SDL host shows of the program's window: its pixels and DirectDraw's picture.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "SdlWindow.h"

namespace vemora::platform {

class SdlPresenter {
 public:
  // Lock held on entry and on return; released while drawing.
  void Present(std::unique_lock<std::mutex>& held, std::uint64_t now, bool force);

 private:
  void Upload(SdlWindow& data, int width, int height);

  std::uint64_t lastPresent_ = 0;
  std::vector<std::uint32_t> staging_;
};

}  // namespace vemora::platform
