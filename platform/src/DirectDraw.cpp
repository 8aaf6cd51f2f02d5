// DirectDraw for non-Windows hosts: the state its units share, what the hosts are shown of it, and
// its reset between runs. The devices, surfaces, window hook, frame recording and call log each
// have a unit of their own (see DirectDrawObjects.h).
#include "DirectDraw.h"

#include "DirectDrawObjects.h"
#include "Host.h"

namespace vemora::platform {

namespace ddraw {

std::mutex ddLock;
testing::DirectDrawFaults faults;
std::vector<Device*> devices;

Surface* visiblePrimary = nullptr;
Surface* visibleOverlay = nullptr;
bool overlayShown = false;
RECT overlayDestination{};
std::uint64_t screenVersion = 0;
int screenWidth = kWidth, screenHeight = kHeight;

void NotifyHost() {
  Host* host;
  {
    std::unique_lock<std::mutex> held(Global().lock);
    host = Global().host;
  }
  if (host != nullptr) host->DisplayChanged();
}

}  // namespace ddraw

using namespace ddraw;

void VisitScreen(const std::function<void(const ScreenView&)>& visit) {
  std::lock_guard<std::mutex> held(ddLock);
  ScreenView view;
  view.version = screenVersion;
  if (visiblePrimary != nullptr && visiblePrimary->HasMemory()) {
    view.fullScreen = true;
    view.pixels = visiblePrimary->Bytes();
    view.pitch = visiblePrimary->pitch();
    view.rgb555 = false;
  } else if (visibleOverlay != nullptr && overlayShown && visibleOverlay->HasMemory()) {
    view.overlayShown = true;
    view.destination = overlayDestination;
    view.pixels = visibleOverlay->Bytes();
    view.pitch = visibleOverlay->pitch();
    view.rgb555 = true;
  }
  visit(view);
}

void ResetDirectDraw() {
  std::lock_guard<std::mutex> held(ddLock);
  // Objects of an old run may still be referenced by the program's globals: orphan, never free.
  for (Device* device : devices)
    for (Surface* surface : device->surfaces()) surface->Orphan();
  devices.clear();
  ForgetHooks();
  faults = testing::DirectDrawFaults{};
  ClearLog();
  ResetFrames();
  visiblePrimary = nullptr;
  visibleOverlay = nullptr;
  overlayShown = false;
  overlayDestination = RECT{};
  ++screenVersion;
}

}  // namespace vemora::platform

namespace vemora::testing {

void InjectDirectDrawFaults(const DirectDrawFaults& injected) {
  std::lock_guard<std::mutex> held(platform::ddraw::ddLock);
  platform::ddraw::faults = injected;
}

}  // namespace vemora::testing
