#include "FramePublisher.h"

#include <algorithm>
#include <cstring>

namespace web {

// The page starts with slot 2 in front and slot 1 in the middle.
FramePublisher::FramePublisher() : back_(0) {}

std::uint16_t* FramePublisher::Back() {
  return reinterpret_cast<std::uint16_t*>(static_cast<std::uintptr_t>(Link().slots[back_].pixels));
}

std::uint32_t* FramePublisher::Back32() {
  return reinterpret_cast<std::uint32_t*>(static_cast<std::uintptr_t>(Link().slots[back_].pixels));
}

void FramePublisher::Publish(const FrameShape& shape) {
  PageLink& link = Link();
  FrameSlot& slot = link.slots[back_];
  slot.format = shape.format;
  slot.width = static_cast<std::uint32_t>(std::clamp(shape.width, 1, kFrameWidth));
  slot.height = static_cast<std::uint32_t>(std::clamp(shape.height, 1, kFrameHeight));
  slot.view = shape.view;
  const std::size_t titleBytes = std::min(std::strlen(shape.title), static_cast<std::size_t>(kTitleBytes - 1));
  std::memcpy(slot.title, shape.title, titleBytes);
  slot.title[titleBytes] = '\0';
  slot.number = link.framesPublished.load(std::memory_order_relaxed) + 1;
  const std::size_t bytes = slot.width * slot.height * (shape.format == kFormat888 ? 4 : 2);
  slot.hash = link.wantHashes.load(std::memory_order_relaxed)
                  ? Hash(kHashStart, reinterpret_cast<const std::uint8_t*>(Back()), bytes)
                  : 0;
  back_ = link.frameMiddle.exchange(back_ | kFreshFrame, std::memory_order_acq_rel) & ~kFreshFrame;
  link.framesPublished.store(slot.number, std::memory_order_release);
}

}  // namespace web
