#include "PageCalls.h"

#include <emscripten/em_asm.h>
#include <emscripten/threading.h>

#include "PageLink.h"

namespace web {
namespace {

// Blocks while `word` holds `value`.
void WaitWhile(std::atomic<std::int32_t>& word, std::int32_t value) {
  while (word.load() == value) emscripten_futex_wait(&word, static_cast<std::uint32_t>(value), 1000);
}

}  // namespace

bool OpenSound(std::uint32_t rate) {
  PageLink& link = Link();
  link.soundRate = rate;
  link.soundState = kSoundOpening;
  MAIN_THREAD_ASYNC_EM_ASM({ vemoraPage.openSound(); });
  WaitWhile(link.soundState, kSoundOpening);
  return link.soundState.load() == kSoundRunning;
}

void CloseSound() {
  Link().soundState = kSoundClosed;
  MAIN_THREAD_ASYNC_EM_ASM({ vemoraPage.closeSound(); });
}

std::int32_t ShowMessage(const char* caption, const char* text) {
  PageLink& link = Link();
  link.messageAnswer = kNoAnswer;
  // The strings stay alive: this thread waits below until the page has answered.
  MAIN_THREAD_ASYNC_EM_ASM({ vemoraPage.showMessage(UTF8ToString($0), UTF8ToString($1)); }, caption, text);
  WaitWhile(link.messageAnswer, kNoAnswer);
  return link.messageAnswer.load();
}

void ShowCursor(bool shown) {
  MAIN_THREAD_ASYNC_EM_ASM({ vemoraPage.showCursor($0); }, shown ? 1 : 0);
}

}  // namespace web
