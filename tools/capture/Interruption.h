// Ctrl+C (SIGINT) and SIGTERM ask the run to stop at its next frame and finish its outputs; a
// second one ends the program at once.
#pragma once

namespace capture {

void CatchInterruptions();
// The signal caught; 0 while none.
int CaughtInterruption();
const char* SignalName(int signal);

}  // namespace capture
