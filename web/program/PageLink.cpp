#include "PageLink.h"

#include <emscripten/emscripten.h>

namespace web {
namespace {

PageLink link;
// Room for 32-bit pixels; 16-bit frames use the first half.
std::uint32_t framePixels[kFrameSlots][kFramePixels];

}  // namespace

PageLink& Link() {
  // The page may look before the program has published anything: the slots are valid from the start.
  static const bool ready = [] {
    for (int i = 0; i < kFrameSlots; i++) {
      link.slots[i].format = kFormat565;
      link.slots[i].width = kFrameWidth;
      link.slots[i].height = kFrameHeight;
      link.slots[i].pixels = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(framePixels[i]));
    }
    link.frameMiddle = 1;
    return true;
  }();
  (void)ready;
  return link;
}

}  // namespace web

extern "C" EMSCRIPTEN_KEEPALIVE std::uint32_t vemora_page_link() {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&web::Link()));
}
