// DirectDraw for non-Windows hosts: the state its units share, what the hosts are shown of it, and
// its reset between runs. The devices, surfaces, window hook, frame recording and call log each
// have a unit of their own (see DirectDrawObjects.h).
#include "DirectDraw.h"

#include "DirectDrawObjects.h"
#include "Host.h"
#include "testing.h"

namespace vemora::platform {

namespace ddraw {

std::mutex ddLock;
Faults faults;
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

std::uint64_t DirectDrawVersion() {
  std::uint64_t version = 0;
  VisitScreen([&](const ScreenView& view) { version = view.version; });
  return version;
}

bool DirectDrawCoversWindow() {
  bool covers = false;
  VisitScreen([&](const ScreenView& view) { covers = view.fullScreen && view.pixels != nullptr; });
  return covers;
}

ClientPlacement PlacementOf(const Window& window) {
  const RECT nc = NonClient(window.style);
  ClientPlacement placement;
  placement.originX = window.rect.left + nc.left;
  placement.originY = window.rect.top + nc.top;
  placement.pixelWidth = window.pixelWidth;
  placement.pixelHeight = window.pixelHeight;
  placement.minimised = window.show == ShowState::Minimised;
  return placement;
}

void ResetDirectDraw() {
  std::lock_guard<std::mutex> held(ddLock);
  // Objects of an old run may still be referenced by the program's globals: orphan, never free.
  for (Device* device : devices)
    for (Surface* surface : device->surfaces()) surface->Orphan();
  devices.clear();
  ForgetHooks();
  faults = Faults{};
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
  platform::ddraw::Faults faults;
  faults.createFails = injected.createFails;
  faults.queryFails = injected.queryFails;
  faults.refuseCooperativeLevel = injected.refuseCooperativeLevel;
  faults.refuseDisplayMode = injected.refuseDisplayMode;
  faults.refusePrimaryBackBuffers = injected.refusePrimaryBackBuffers;
  faults.refuseAttach = injected.refuseAttach;
  faults.noOverlay = injected.noOverlay;
  faults.refuseOverlays = injected.refuseOverlays;
  faults.loseAtLock = injected.loseAtLock;
  faults.loseAtFlip = injected.loseAtFlip;
  faults.refuseRestores = injected.refuseRestores;
  faults.refuseOverlayEffects = injected.refuseOverlayEffects;
  faults.refuseOverlayKey = injected.refuseOverlayKey;
  faults.surfacePitch = injected.surfacePitch;
  faults.displays = injected.displays;
  faults.nullDescription = injected.nullDescription;
  std::lock_guard<std::mutex> held(platform::ddraw::ddLock);
  platform::ddraw::faults = faults;
}

}  // namespace vemora::testing
