#include "PageInput.h"

#include <emscripten/threading.h>

namespace web {

bool NextInput(InputEvent& event) {
  PageLink& link = Link();
  const std::uint32_t read = link.inputRead.load(std::memory_order_relaxed);
  if (read == link.inputWritten.load(std::memory_order_acquire)) return false;
  event = link.input[read % kInputEvents];
  link.inputRead.store(read + 1, std::memory_order_release);
  return true;
}

void WaitForInput(double milliseconds) {
  PageLink& link = Link();
  const std::uint32_t written = link.inputWritten.load();
  if (written == link.inputRead.load()) emscripten_futex_wait(&link.inputWritten, written, milliseconds);
}

}  // namespace web
