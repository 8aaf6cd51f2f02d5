// SDL's events as the program's input: keys, typed text, the mouse, and what the user does to
// the window (close, focus, move, size, minimise, maximise, restore, expose).
#pragma once

#include <SDL.h>

namespace vemora::platform {

// Lock held; on the thread that started video, the only one SDL delivers events to.
void TranslateEvent(const SDL_Event& event);

}  // namespace vemora::platform
