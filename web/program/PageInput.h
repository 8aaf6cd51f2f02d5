// The program's side of the input queue that the page fills with keys and mouse events.
#pragma once

#include "PageLink.h"

namespace web {

// Takes the oldest event not yet taken; false when there is none.
bool NextInput(InputEvent& event);
// Blocks until an event is queued or `milliseconds` have passed.
void WaitForInput(double milliseconds);

}  // namespace web
