// Host choice: the host that starts at the first platform call, and the switch from one host to
// another between runs in one process (tests and tools).
#include <cstdio>
#include <cstdlib>

#include "Audio.h"
#include "Dialog.h"
#include "DirectDraw.h"
#include "Host.h"
#include "Window.h"
#include "host.h"

namespace vemora::platform {

namespace {

host::Factory firstHost = nullptr;

// Blocked threads of an old run may still refer to these; they are kept, never freed.
std::vector<Host*>& retiredHosts = *new std::vector<Host*>;
std::vector<Thread*>& retiredThreads = *new std::vector<Thread*>;
std::vector<Object*>& retiredObjects = *new std::vector<Object*>;

}  // namespace

Host* StartFirstHost() {
  if (firstHost == nullptr) return nullptr;
  std::string error;
  Host* host = firstHost(&error);
  if (host == nullptr) {
    std::fprintf(stderr, "vemora: no display available: %s\n", error.c_str());
    std::exit(1);
  }
  Global().host = host;
  return host;
}

void ReplaceHost(std::unique_lock<std::mutex>& held, Host* host) {
  State& state = Global();
  if (state.host != nullptr) {
    state.host->Retire();
    retiredHosts.push_back(state.host);
  }
  state.host = nullptr;
  // Old records stay allocated: abandoned threads wait on their condition variables.
  retiredThreads.insert(retiredThreads.end(), state.threads.begin(), state.threads.end());
  retiredObjects.insert(retiredObjects.end(), state.objects.begin(), state.objects.end());
  state.threads.clear();
  state.objects.clear();
  ++state.generation;
  ResetWindows();
  ResetDialogs();
  ResetDirectDraw();
  ResetAudioFaults();
  state.host = host;
  if (host != nullptr) Self(held);  // the caller is the main thread, index 0
}

}  // namespace vemora::platform

void vemora::host::StartOnFirstCall(Factory make) { platform::firstHost = make; }
