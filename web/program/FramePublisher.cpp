#include "FramePublisher.h"

namespace web {

// The page starts with slot 2 in front and slot 1 in the middle.
FramePublisher::FramePublisher() : back_(0) {}

std::uint16_t* FramePublisher::Back() {
  return reinterpret_cast<std::uint16_t*>(static_cast<std::uintptr_t>(Link().slots[back_].pixels));
}

void FramePublisher::Publish(std::uint32_t format) {
  PageLink& link = Link();
  FrameSlot& slot = link.slots[back_];
  slot.format = format;
  slot.number = link.framesPublished.load(std::memory_order_relaxed) + 1;
  slot.hash = link.wantHashes.load(std::memory_order_relaxed)
                  ? Hash(kHashStart, reinterpret_cast<const std::uint8_t*>(Back()), kFramePixels * 2)
                  : 0;
  back_ = link.frameMiddle.exchange(back_ | kFreshFrame, std::memory_order_acq_rel) & ~kFreshFrame;
  link.framesPublished.store(slot.number, std::memory_order_release);
}

}  // namespace web
