#include "Interruption.h"

#include <csignal>

namespace capture {

namespace {

volatile std::sig_atomic_t caught = 0;

void Caught(int signal) {
  caught = signal;
  std::signal(signal, SIG_DFL);
}

}  // namespace

void CatchInterruptions() {
  std::signal(SIGINT, Caught);
  std::signal(SIGTERM, Caught);
}

int CaughtInterruption() { return caught; }

const char* SignalName(int signal) {
  return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "a signal";
}

}  // namespace capture
