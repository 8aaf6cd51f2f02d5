// What the program asks of its page, whose thread owns the AudioContext and the document. Each
// call runs on the page thread; the ones with an answer block the calling program thread until
// the page has given it.
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

// Shows or hides the mouse pointer over the frames.
void ShowCursor(bool shown);

}  // namespace web
