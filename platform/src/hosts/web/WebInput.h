// The page's input as the program's: keys, typed characters, the left button and the mouse's
// moves, and the close box of a window's caption.
#pragma once

namespace vemora::platform {

// Takes every event the page has queued (lock held, on the program's main thread).
void TakePageInput();

}  // namespace vemora::platform
