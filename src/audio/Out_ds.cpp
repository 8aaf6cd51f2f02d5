#include "audio/Out_ds.h"

#include <cstdlib>
#include <cstring>
#include <new>

Out_DS::Out_DS() : device(nullptr), primary(nullptr), secondary(nullptr) {
  device = new (std::nothrow) DSound_Wrap;
  if (!device || device->deviceCount == 0) return;
  deviceNames = static_cast<char**>(std::calloc(static_cast<size_t>(device->deviceCount), sizeof(char*)));
  if (!deviceNames) return;
  deviceCount = device->deviceCount;
  for (int32_t i = 0; i < deviceCount; ++i) {
    const char* name = device->devices[i].description ? device->devices[i].description : "";
    const size_t length = std::strlen(name) + 1;
    deviceNames[i] = static_cast<char*>(std::malloc(length));
    if (deviceNames[i]) std::memcpy(deviceNames[i], name, length);
  }
}

Out_DS::~Out_DS() { delete device; }

bool Out_DS::open(const AudioFormat* format) {
  if (!format || format->size != kAudioFormatSize) return true;
  if (device) {
    device->releaseDevice();
    primary = secondary = nullptr;
    if (device->createDevice(format->deviceIndex)) return true;
    if (device->setCooperativeLevel(format->window, DSSCL_PRIORITY) &&
        device->setCooperativeLevel(format->window, DSSCL_NORMAL))
      return true;
    primary = new (std::nothrow) DSoundBuffer_Wrap(device);
    secondary = new (std::nothrow) DSoundBuffer_Wrap(device);
  }
  if (!primary || !secondary) return true;

  primary->setFormat(format->bytesPerSample * 8, format->channels, format->sampleRate);
  if (primary->createPrimary()) return true;
  secondary->setFormat(format->bytesPerSample * 8, format->channels, format->sampleRate);
  secondary->desc.dwFlags |= DSBCAPS_GLOBALFOCUS;
  if (secondary->createStream(format->bufferBytes, format->bufferCount)) return true;
  // writeBuffer copies whole blocks of bufferBytes: a stream that settled on another size
  // would be written out of step.
  if (secondary->blockBytes != format->bufferBytes) return true;
  primary->play(true);
  return false;
}

void Out_DS::close() {
  if (primary && secondary && device) {
    device->releaseDevice();
    primary = secondary = nullptr;
  }
}

bool Out_DS::waitReady(int timeoutMs) { return secondary ? secondary->waitAny(static_cast<DWORD>(timeoutMs)) : false; }

bool Out_DS::writeBuffer(const void* data) {
  if (!data || !secondary || secondary->lockNext()) return true;
  const auto* bytes = static_cast<const uint8_t*>(data);
  std::memcpy(secondary->lockedPart1, bytes, secondary->lockedBytes1);
  if (secondary->lockedPart2 && secondary->lockedBytes2)
    std::memcpy(secondary->lockedPart2, bytes + secondary->lockedBytes1, secondary->lockedBytes2);
  secondary->unlock();
  return false;
}

bool Out_DS::play() {
  if (!secondary) return true;
  secondary->play(true);
  return false;
}

bool Out_DS::pause() {
  if (!secondary) return true;
  secondary->stop();
  return false;
}
