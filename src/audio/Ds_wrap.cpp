#include "audio/Ds_wrap.h"

#include <cstdlib>
#include <cstring>

namespace {

char* CopyString(const char* text) {
  if (!text) text = "";
  const size_t length = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(std::malloc(length));
  if (copy) std::memcpy(copy, text, length);
  return copy;
}

constexpr int kMaxStreamBlocks = 64;
constexpr int kMinStreamBlocks = 3;
constexpr int kMinBlockBytes = 256;

}  // namespace

// --- DSound_Wrap

DSound_Wrap::DSound_Wrap()
    : directSound(nullptr),
      deviceCount(0),
      devices(nullptr),
      caps{},
      selfReleasingRegistered(0),
      selfReleasingInSoftware(0),
      groupLimit(8),
      master{0, 0, 1.0f},
      enumIndex(0),
      countOnly(1),
      newestBuffer(nullptr),
      newestSelfReleasing(nullptr),
      oldestSelfReleasing(nullptr) {
  for (DSoundGroupSettings& g : groups) g = DSoundGroupSettings{0, 0, 1.0f};
  DirectSoundEnumerateA(EnumerateCallback, this);
  std::memset(&caps, 0, sizeof(caps));
  caps.dwSize = sizeof(DSCAPS);
  if (deviceCount > 0) {
    countOnly = 0;
    devices = static_cast<DSoundDeviceEntry*>(std::calloc(static_cast<size_t>(deviceCount), sizeof(DSoundDeviceEntry)));
    if (!devices) {
      deviceCount = 0;
      return;
    }
    DirectSoundEnumerateA(EnumerateCallback, this);
  }
}

DSound_Wrap::~DSound_Wrap() {
  releaseDevice();
  if (devices) {
    for (int32_t i = 0; i < deviceCount; ++i) {
      std::free(devices[i].description);
      std::free(devices[i].module);
    }
    std::free(devices);
  }
}

BOOL CALLBACK DSound_Wrap::EnumerateCallback(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context) {
  auto* self = static_cast<DSound_Wrap*>(context);
  if (self->countOnly) {
    ++self->deviceCount;
  } else if (self->enumIndex < self->deviceCount) {
    DSoundDeviceEntry& entry = self->devices[self->enumIndex];
    if (guid)
      entry.guid = *guid;
    else
      std::memset(&entry.guid, 0, sizeof(GUID));
    entry.description = CopyString(description);
    entry.module = CopyString(module);
    ++self->enumIndex;
  }
  return TRUE;
}

bool DSound_Wrap::createDevice(int index) {
  if (index < 0 || index >= deviceCount) return true;
  if (DirectSoundCreate(&devices[index].guid, &directSound, nullptr) != DS_OK) {
    directSound = nullptr;
    return true;
  }
  std::memset(&caps, 0, sizeof(caps));
  caps.dwSize = sizeof(DSCAPS);
  return false;
}

bool DSound_Wrap::setCooperativeLevel(HWND window, DWORD level) {
  if (!directSound) return true;
  return directSound->SetCooperativeLevel(window, level) != DS_OK;
}

void DSound_Wrap::releaseDevice() {
  while (newestBuffer) delete newestBuffer;  // each unregisters itself
  if (directSound) directSound->Release();
  directSound = nullptr;
}

// --- DSoundBuffer_Wrap

DSoundBuffer_Wrap::DSoundBuffer_Wrap(DSound_Wrap* owner) : owner(nullptr), newer(nullptr), older(nullptr) {
  reset();
  setFormat(8, 1, 11025);
  this->owner = owner;
  if (owner) {
    older = owner->newestBuffer;
    if (older) older->newer = this;
    owner->newestBuffer = this;
    settings = owner->master;
    groupSettings = owner->groups[group];
  }
}

DSoundBuffer_Wrap::~DSoundBuffer_Wrap() {
  if (newer) newer->older = older;
  if (older) older->newer = newer;
  if (owner) {
    if (owner->newestBuffer == this) owner->newestBuffer = older;
    if (owner->newestSelfReleasing == this) owner->newestSelfReleasing = nullptr;
    if (owner->oldestSelfReleasing == this) owner->oldestSelfReleasing = nullptr;
  }
  newer = older = nullptr;
  release();
}

void DSoundBuffer_Wrap::reset() {
  soundBuffer = nullptr;
  notify = nullptr;
  std::memset(&desc, 0, sizeof(desc));
  desc.dwSize = sizeof(DSBUFFERDESC);
  desc.lpwfxFormat = &format;
  std::memset(&format, 0, sizeof(format));
  lockedPart1 = lockedPart2 = nullptr;
  lockedBytes1 = lockedBytes2 = 0;
  inHardware = loopOnPlay = locked = 0;
  group = 0;
  settings = groupSettings = DSoundGroupSettings{0, 0, 1.0f};
  sampleRate = 0;
  notifyPositions = nullptr;
  events = nullptr;
  blockBytes = blockCount = writeBlock = 0;
}

void DSoundBuffer_Wrap::setFormat(int bits, int channels, int rate) {
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(channels);
  format.nSamplesPerSec = static_cast<DWORD>(rate);
  format.wBitsPerSample = static_cast<WORD>(bits);
  format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
  format.cbSize = 0;
  sampleRate = rate;
  if (owner) {
    settings = owner->master;
    groupSettings = owner->groups[group];
  }
}

bool DSoundBuffer_Wrap::createBuffer() {
  release();
  desc.dwFlags &= ~static_cast<DWORD>(DSBCAPS_PRIMARYBUFFER);
  if (!owner || !owner->directSound) return true;
  if (owner->directSound->CreateSoundBuffer(&desc, &soundBuffer, nullptr) != DS_OK) {
    soundBuffer = nullptr;
    return true;
  }
  DSBCAPS bufferCaps{};
  bufferCaps.dwSize = sizeof(DSBCAPS);
  if (soundBuffer->GetCaps(&bufferCaps) == DS_OK && (bufferCaps.dwFlags & DSBCAPS_LOCHARDWARE)) inHardware = 1;
  return false;
}

bool DSoundBuffer_Wrap::createPrimary() {
  if (!owner || !owner->directSound) return true;
  const DSBUFFERDESC saved = desc;
  desc.dwFlags |= DSBCAPS_PRIMARYBUFFER;
  desc.dwBufferBytes = 0;
  desc.lpwfxFormat = nullptr;
  if (owner->directSound->CreateSoundBuffer(&desc, &soundBuffer, nullptr) != DS_OK) {
    soundBuffer = nullptr;
    desc = saved;
    return true;
  }
  soundBuffer->SetFormat(&format);  // refused below the priority level; the primary plays anyway
  loopOnPlay = 1;
  desc = saved;
  desc.dwFlags &= ~static_cast<DWORD>(DSBCAPS_PRIMARYBUFFER);
  desc.lpwfxFormat = &format;
  return false;
}

bool DSoundBuffer_Wrap::createStream(int bytes, int count) {
  desc.dwFlags &= ~static_cast<DWORD>(DSBCAPS_LOCHARDWARE | DSBCAPS_STATIC);
  desc.dwFlags |= DSBCAPS_CTRLPOSITIONNOTIFY;
  if (count > kMaxStreamBlocks) return true;
  const int align = format.nBlockAlign > 0 ? format.nBlockAlign : 1;
  if (bytes < 0) return true;
  int64_t rounded = (int64_t{bytes} + align - 1) / align * align;
  if (rounded < kMinBlockBytes) rounded = kMinBlockBytes;
  if (count < kMinStreamBlocks) count = kMinStreamBlocks;
  if (rounded * count > DSBSIZE_MAX) return true;
  blockBytes = static_cast<int32_t>(rounded);
  blockCount = count;
  desc.dwBufferBytes = static_cast<DWORD>(blockBytes * blockCount);
  if (createBuffer()) return true;

  events = static_cast<HANDLE*>(std::calloc(static_cast<size_t>(blockCount), sizeof(HANDLE)));
  notifyPositions =
      static_cast<DSBPOSITIONNOTIFY*>(std::calloc(static_cast<size_t>(blockCount), sizeof(DSBPOSITIONNOTIFY)));
  if (!events || !notifyPositions) {
    release();
    return true;
  }
  for (int32_t i = 0; i < blockCount; ++i) {
    // Every block but the last may be written before playback starts.
    events[i] = CreateEventA(nullptr, TRUE, i < blockCount - 1 ? TRUE : FALSE, nullptr);
    if (!events[i]) {
      release();
      return true;
    }
  }
  if (soundBuffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify)) != DS_OK) {
    notify = nullptr;
    release();
    return true;
  }
  // Event i fires when the play cursor leaves block i; the last one's at the wrap.
  for (int32_t i = 0; i < blockCount - 1; ++i) {
    notifyPositions[i].dwOffset = static_cast<DWORD>((i + 1) * blockBytes);
    notifyPositions[i].hEventNotify = events[i];
  }
  notifyPositions[blockCount - 1].dwOffset = 0;
  notifyPositions[blockCount - 1].hEventNotify = events[blockCount - 1];
  if (notify->SetNotificationPositions(static_cast<DWORD>(blockCount), notifyPositions) != DS_OK) {
    release();
    return true;
  }
  return false;
}

void DSoundBuffer_Wrap::play(bool looping) {
  while (soundBuffer) {
    const HRESULT result = soundBuffer->Play(0, 0, looping || loopOnPlay ? DSBPLAY_LOOPING : 0);
    if (result != DSERR_BUFFERLOST || !restore()) break;
  }
}

void DSoundBuffer_Wrap::stop() {
  if (soundBuffer) soundBuffer->Stop();
}

bool DSoundBuffer_Wrap::restore() { return soundBuffer && soundBuffer->Restore() == DS_OK; }

bool DSoundBuffer_Wrap::lock(DWORD offset, DWORD bytes) {
  if (locked || !soundBuffer) return true;
  for (;;) {
    const HRESULT result =
        soundBuffer->Lock(offset, bytes, &lockedPart1, &lockedBytes1, &lockedPart2, &lockedBytes2, 0);
    if (result == DS_OK) {
      locked = 1;
      return false;
    }
    if (result != DSERR_BUFFERLOST || !restore()) return true;
  }
}

void DSoundBuffer_Wrap::unlock() {
  if (!locked) return;
  soundBuffer->Unlock(lockedPart1, lockedBytes1, lockedPart2, lockedBytes2);
  locked = 0;
}

bool DSoundBuffer_Wrap::waitAny(DWORD ms) {
  if (!events || blockCount == 0) return false;
  // Only a signalled event counts: a failed wait must not look like a free block.
  const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(blockCount), events, FALSE, ms);
  return result < WAIT_OBJECT_0 + static_cast<DWORD>(blockCount);
}

bool DSoundBuffer_Wrap::lockNext() {
  if (blockBytes == 0) return true;
  if (lock(static_cast<DWORD>(writeBlock * blockBytes), static_cast<DWORD>(blockBytes))) return true;
  ResetEvent(events[writeBlock]);
  writeBlock = (writeBlock + 1) % blockCount;
  return false;
}

void DSoundBuffer_Wrap::release() {
  unlock();
  std::free(notifyPositions);
  notifyPositions = nullptr;
  if (events) {
    for (int32_t i = 0; i < blockCount; ++i)
      if (events[i]) CloseHandle(events[i]);
    std::free(events);
    events = nullptr;
  }
  if (notify) notify->Release();
  notify = nullptr;
  writeBlock = 0;
  if (soundBuffer) soundBuffer->Release();
  soundBuffer = nullptr;
  inHardware = loopOnPlay = locked = 0;
}
