// DirectDraw's call log: one line per call that matters to the display, for tests to read.
#include "DirectDrawObjects.h"

namespace vemora::platform::ddraw {

namespace {

constexpr std::size_t kLogLimit = 20000;

std::vector<std::string> callLog;

}  // namespace

void Log(std::string line) {
  if (callLog.size() < kLogLimit) callLog.push_back(std::move(line));
}

const char* ResultName(HRESULT result) {
  switch (result) {
    case DD_OK: return "ok";
    case DDERR_SURFACELOST: return "lost";
    case DDERR_NOTLOCKED: return "notlocked";
    case DDERR_NOTFLIPPABLE: return "notflippable";
    case DDERR_SURFACEBUSY: return "busy";
    case DDERR_WRONGMODE: return "wrongmode";
    case DDERR_NOOVERLAYHW: return "nooverlayhw";
    case DDERR_OUTOFVIDEOMEMORY: return "outofvideomemory";
    case DDERR_INVALIDPARAMS: return "invalidparams";
    case DDERR_INVALIDCAPS: return "invalidcaps";
    case DDERR_INVALIDMODE: return "invalidmode";
    case DDERR_NOTFOUND: return "notfound";
    case DDERR_UNSUPPORTED: return "unsupported";
    case DDERR_NOCOLORKEYHW: return "nocolorkeyhw";
    default: return "error";
  }
}

void ClearLog() { callLog.clear(); }

}  // namespace vemora::platform::ddraw

namespace vemora::testing {

std::vector<std::string> DirectDrawLog() {
  std::lock_guard<std::mutex> held(platform::ddraw::ddLock);
  return platform::ddraw::callLog;
}

}  // namespace vemora::testing
