// What the program asks of its page, whose thread owns the AudioContext, the document and
// full screen. Each call runs on the page thread; the ones with an answer block the calling
// program thread until the page has given it.
#pragma once

#include <cstdint>

namespace web {

// Starts the page's audio at `rate` frames a second, playing the sound ring. False when the
// browser refuses the rate or has no audio. Blocks until the user has clicked once, as browsers
// let sound start only after a click.
bool OpenSound(std::uint32_t rate);
void CloseSound();

// Shows a message box in the page and returns its answer (IDOK).
std::int32_t ShowMessage(const char* caption, const char* text);

enum class PageView : std::int32_t { kPage = 0, kWindowed = 1, kFullScreen = 2 };
// How the page shows the frames: in the page (dialog), scaled by whole pixels (windowed), or full screen.
void ShowView(PageView view);

}  // namespace web
