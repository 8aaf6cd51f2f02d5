// Sound shared by both drivers: the host's device list, and the switches that make calls fail.
#include "Audio.h"

#include <mutex>

#include "Core.h"
#include "Host.h"

namespace vemora::platform {

namespace {

std::mutex faultLock;  // taken alone, never while another platform lock is needed
AudioFaults faults;

}  // namespace

std::vector<std::string> HostAudioDevices() { return CurrentHost().AudioDeviceNames(); }

void ChangeAudioFaults(const std::function<void(AudioFaults&)>& change) {
  std::lock_guard<std::mutex> guard(faultLock);
  change(faults);
}

void ResetAudioFaults() {
  std::lock_guard<std::mutex> guard(faultLock);
  faults = AudioFaults{};
}

bool TakeFault(int AudioFaults::*counter) {
  std::lock_guard<std::mutex> guard(faultLock);
  if (faults.*counter <= 0) return false;
  --(faults.*counter);
  return true;
}

bool FaultOn(bool AudioFaults::*flag) {
  std::lock_guard<std::mutex> guard(faultLock);
  return faults.*flag;
}

void HangForever() {
  std::unique_lock<std::mutex> held(Global().lock);
  Thread& self = Self(held);
  WaitUntil(held, self, nullptr, 0, false, 0, kNoDeadline);
  Fatal("a hung audio call returned");
}

bool ValidPcm(int formatTag, int channels, int bits, int rate, int blockAlign) {
  return formatTag == 1 && (channels == 1 || channels == 2) && (bits == 8 || bits == 16) && rate >= kMinAudioRate &&
         rate <= kMaxAudioRate && blockAlign == channels * bits / 8;
}

}  // namespace vemora::platform
