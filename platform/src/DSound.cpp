// DirectSound: a device object with one primary buffer (format only) and secondary buffers,
// each played looping or once by its own host device, with notification events fired as the
// play cursor passes their offsets.
#include <dsound.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "Audio.h"
#include "Core.h"
#include "Host.h"

using namespace vemora::platform;

const GUID IID_IDirectSoundNotify = {0xb0210783, 0x89cd, 0x11d0, {0xaf, 0x08, 0x00, 0xa0, 0xc9, 0x25, 0xcd, 0x16}};

namespace {

const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Device GUIDs of this platform: a fixed prefix and the host device index.
GUID DeviceGuid(int index) {
  GUID guid = {0x7665d0a0, 0x5d5a, 0x4d0e, {0x9a, 0x11, 0, 0, 0, 0, 0, 0}};
  guid.Data4[7] = static_cast<BYTE>(index);
  guid.Data4[6] = static_cast<BYTE>(index >> 8);
  return guid;
}

class DirectSound;

class SoundBuffer final : public IDirectSoundBuffer, public AudioSource {
 public:
  SoundBuffer(DirectSound* owner, bool primary, DWORD flags) : owner_(owner), primary_(primary), flags_(flags) {}

  HRESULT Create(LPCDSBUFFERDESC desc, int hostDevice);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IDirectSoundNotify) {
      if (!(flags_ & DSBCAPS_CTRLPOSITIONNOTIFY) || primary_) return E_NOINTERFACE;
      *object = static_cast<IDirectSoundNotify*>(&notify_);
    } else if (iid == kIidUnknown) {
      *object = static_cast<IDirectSoundBuffer*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override;

  // IDirectSoundBuffer
  HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS caps) override {
    if (caps == nullptr || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
    caps->dwFlags = (flags_ & ~static_cast<DWORD>(DSBCAPS_LOCHARDWARE)) | DSBCAPS_LOCSOFTWARE;
    caps->dwBufferBytes = static_cast<DWORD>(data_.size());
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD play, LPDWORD write) override {
    Checkpoint();
    std::lock_guard<std::mutex> guard(mutex_);
    if (play != nullptr) *play = static_cast<DWORD>(cursor_);
    if (write != nullptr) *write = data_.empty() ? 0 : static_cast<DWORD>((cursor_ + FrameBytes()) % data_.size());
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX format, DWORD size, LPDWORD written) override {
    if (format == nullptr) {
      if (written == nullptr) return DSERR_INVALIDPARAM;
      *written = sizeof(WAVEFORMATEX);
      return DS_OK;
    }
    DWORD n = std::min<DWORD>(size, sizeof(WAVEFORMATEX));
    std::memcpy(format, &format_, n);
    if (written != nullptr) *written = n;
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE GetVolume(LONG* volume) override { return Unavailable(volume); }
  HRESULT STDMETHODCALLTYPE GetPan(LONG* pan) override { return Unavailable(pan); }
  HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD frequency) override {
    if (frequency == nullptr) return DSERR_INVALIDPARAM;
    if (!(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    *frequency = format_.nSamplesPerSec;
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override {
    Checkpoint();
    if (status == nullptr) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(mutex_);
    *status = (playing_ ? DSBSTATUS_PLAYING : 0) | (looping_ && playing_ ? DSBSTATUS_LOOPING : 0) |
              (lost_ ? DSBSTATUS_BUFFERLOST : 0);
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return DSERR_ALREADYINITIALIZED; }
  HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* part1, LPDWORD bytes1, LPVOID* part2,
                                 LPDWORD bytes2, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD position) override {
    Checkpoint();
    if (primary_) return DSERR_INVALIDCALL;
    std::lock_guard<std::mutex> guard(mutex_);
    if (position >= data_.size()) return DSERR_INVALIDPARAM;
    cursor_ = position - position % FrameBytes();
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX format) override;
  HRESULT STDMETHODCALLTYPE SetVolume(LONG) override { return DSERR_CONTROLUNAVAIL; }
  HRESULT STDMETHODCALLTYPE SetPan(LONG) override { return DSERR_CONTROLUNAVAIL; }
  HRESULT STDMETHODCALLTYPE SetFrequency(DWORD) override { return DSERR_CONTROLUNAVAIL; }
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID part1, DWORD bytes1, LPVOID part2, DWORD bytes2) override;
  HRESULT STDMETHODCALLTYPE Restore() override {
    Checkpoint();
    if (TakeFault(&AudioFaults::failRestore)) return DSERR_BUFFERLOST;
    std::lock_guard<std::mutex> guard(mutex_);
    lost_ = false;
    return DS_OK;
  }

  // AudioSource: the device thread plays from the cursor.
  std::size_t Pull(std::uint8_t* out, std::size_t bytes) override;
  std::size_t BytesToNextEvent() override;
  void Deliver() override {
    std::vector<HANDLE> fire;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      fire.swap(pending_);
    }
    for (HANDLE event : fire) SetEvent(event);
  }

  HRESULT SetPositions(DWORD count, LPCDSBPOSITIONNOTIFY positions) {
    if (count > 0 && positions == nullptr) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> guard(mutex_);
    if (playing_) return DSERR_INVALIDCALL;
    for (DWORD i = 0; i < count; ++i) {
      if (positions[i].dwOffset != DSBPN_OFFSETSTOP && positions[i].dwOffset >= data_.size())
        return DSERR_INVALIDPARAM;
      std::unique_lock<std::mutex> held(Global().lock);
      if (Lookup(positions[i].hEventNotify) == nullptr) return DSERR_INVALIDPARAM;
    }
    positions_.assign(positions, positions + count);
    return DS_OK;
  }

  bool primary() const { return primary_; }
  void Detach() { owner_ = nullptr; }

 private:
  class Notify final : public IDirectSoundNotify {
   public:
    explicit Notify(SoundBuffer* buffer) : buffer_(buffer) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
      return buffer_->QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return buffer_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return buffer_->Release(); }
    HRESULT STDMETHODCALLTYPE SetNotificationPositions(DWORD count, LPCDSBPOSITIONNOTIFY positions) override {
      return buffer_->SetPositions(count, positions);
    }

   private:
    SoundBuffer* buffer_;
  };

  template <typename T>
  HRESULT Unavailable(T* out) {
    return out == nullptr ? DSERR_INVALIDPARAM : DSERR_CONTROLUNAVAIL;
  }
  std::size_t FrameBytes() const { return std::max<std::size_t>(1, format_.nBlockAlign); }
  HRESULT CheckFormat(LPCWAVEFORMATEX format) const {
    if (format == nullptr) return DSERR_INVALIDPARAM;
    if (!ValidPcm(format->wFormatTag, format->nChannels, format->wBitsPerSample,
                  static_cast<int>(format->nSamplesPerSec), format->nBlockAlign) ||
        format->nSamplesPerSec > static_cast<DWORD>(kMaxAudioRate))
      return DSERR_BADFORMAT;
    return DS_OK;
  }

  DirectSound* owner_;
  bool primary_;
  DWORD flags_;
  std::atomic<ULONG> references_{1};
  Notify notify_{this};
  WAVEFORMATEX format_{1, 2, 22050, 88200, 4, 16, 0};
  AudioDevice* device_ = nullptr;
  std::mutex mutex_;  // never held while calling the device
  std::vector<std::uint8_t> data_;
  std::size_t cursor_ = 0;
  bool playing_ = false;
  bool looping_ = false;
  bool lost_ = false;
  bool locked_ = false;
  std::vector<DSBPOSITIONNOTIFY> positions_;
  std::vector<HANDLE> pending_;
};

class DirectSound final : public IDirectSound {
 public:
  explicit DirectSound(int hostDevice) : hostDevice_(hostDevice) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(iid == kIidUnknown)) return E_NOINTERFACE;
    *object = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) {
      // Buffers still alive outlive their device: they keep working as lost memory only.
      std::vector<SoundBuffer*> buffers;
      {
        std::lock_guard<std::mutex> guard(mutex_);
        buffers.swap(buffers_);
      }
      for (SoundBuffer* buffer : buffers) buffer->Detach();
      delete this;
    }
    return left;
  }

  HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer,
                                              LPUNKNOWN outer) override {
    if (outer != nullptr) return DSERR_NOAGGREGATION;
    if (desc == nullptr || buffer == nullptr || desc->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (level_ == 0) return DSERR_UNINITIALIZED;
    bool primary = (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0;
    if (primary && primary_ != nullptr) {
      primary_->AddRef();
      *buffer = primary_;
      return DS_OK;
    }
    auto* created = new SoundBuffer(this, primary, desc->dwFlags);
    HRESULT result = created->Create(desc, hostDevice_);
    if (result != DS_OK) {
      created->Release();
      return result;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    if (primary) primary_ = created;
    buffers_.push_back(created);
    *buffer = created;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS caps) override {
    if (caps == nullptr || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
    std::memset(caps, 0, sizeof(DSCAPS));
    caps->dwSize = sizeof(DSCAPS);
    caps->dwFlags = 0x00000400 | 0x00000100 | 0x00000200;  // continuous rate, 16-bit and stereo secondaries
    caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps->dwPrimaryBuffers = 1;
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER, LPDIRECTSOUNDBUFFER* duplicate) override {
    if (duplicate != nullptr) *duplicate = nullptr;
    return DSERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) override {
    if (window == nullptr || level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
    if (level != DSSCL_NORMAL && FaultOn(&AudioFaults::refusePriority)) return DSERR_OTHERAPPHASPRIO;
    level_ = level;
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE Compact() override { return level_ >= DSSCL_PRIORITY ? DS_OK : DSERR_PRIOLEVELNEEDED; }
  HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD config) override {
    if (config == nullptr) return DSERR_INVALIDPARAM;
    *config = 4;  // stereo
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD) override { return DS_OK; }
  HRESULT STDMETHODCALLTYPE Initialize(LPCGUID) override { return DSERR_ALREADYINITIALIZED; }

  DWORD level() const { return level_; }
  void Forget(SoundBuffer* buffer) {
    std::lock_guard<std::mutex> guard(mutex_);
    buffers_.erase(std::remove(buffers_.begin(), buffers_.end(), buffer), buffers_.end());
    if (primary_ == buffer) primary_ = nullptr;
  }

 private:
  int hostDevice_;
  std::atomic<ULONG> references_{1};
  DWORD level_ = 0;
  std::mutex mutex_;
  std::vector<SoundBuffer*> buffers_;
  SoundBuffer* primary_ = nullptr;
};

HRESULT SoundBuffer::Create(LPCDSBUFFERDESC desc, int hostDevice) {
  if (primary_) {
    if (desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr) return DSERR_INVALIDPARAM;
    return DS_OK;
  }
  if (HRESULT bad = CheckFormat(desc->lpwfxFormat)) return bad;
  if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
  format_ = *desc->lpwfxFormat;
  format_.cbSize = 0;
  data_.assign(desc->dwBufferBytes - desc->dwBufferBytes % FrameBytes(), format_.wBitsPerSample == 8 ? 0x80 : 0);
  AudioFormatInfo info{static_cast<int>(format_.nSamplesPerSec), format_.nChannels, format_.wBitsPerSample};
  device_ = CurrentHost().OpenAudio(hostDevice, info, this);
  return device_ != nullptr ? DS_OK : DSERR_ALLOCATED;
}

ULONG SoundBuffer::Release() {
  ULONG left = --references_;
  if (left == 0) {
    if (device_ != nullptr) {
      device_->Close();
      delete device_;
    }
    if (owner_ != nullptr) owner_->Forget(this);
    delete this;
  }
  return left;
}

HRESULT SoundBuffer::SetFormat(LPCWAVEFORMATEX format) {
  if (!primary_) return DSERR_INVALIDCALL;
  if (owner_ == nullptr) return DSERR_UNINITIALIZED;
  if (owner_->level() < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
  if (HRESULT bad = CheckFormat(format)) return bad;
  format_ = *format;
  format_.cbSize = 0;
  return DS_OK;
}

HRESULT SoundBuffer::Lock(DWORD offset, DWORD bytes, LPVOID* part1, LPDWORD bytes1, LPVOID* part2, LPDWORD bytes2,
                          DWORD flags) {
  Checkpoint();
  if (part1 == nullptr || bytes1 == nullptr) return DSERR_INVALIDPARAM;
  *part1 = nullptr;
  *bytes1 = 0;
  if (part2 != nullptr) *part2 = nullptr;
  if (bytes2 != nullptr) *bytes2 = 0;
  if (primary_) return DSERR_PRIOLEVELNEEDED;  // writing the primary needs DSSCL_WRITEPRIMARY
  if (FaultOn(&AudioFaults::hangWrites)) HangForever();
  if (TakeFault(&AudioFaults::loseAtLock)) {
    std::lock_guard<std::mutex> guard(mutex_);
    lost_ = true;
  }
  std::lock_guard<std::mutex> guard(mutex_);
  if (lost_) return DSERR_BUFFERLOST;
  const std::size_t size = data_.size();
  if (flags & DSBLOCK_FROMWRITECURSOR) offset = static_cast<DWORD>((cursor_ + FrameBytes()) % size);
  if (flags & DSBLOCK_ENTIREBUFFER) bytes = static_cast<DWORD>(size);
  if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
  if (locked_) return DSERR_INVALIDCALL;
  std::size_t first = std::min<std::size_t>(bytes, size - offset);
  *part1 = data_.data() + offset;
  *bytes1 = static_cast<DWORD>(first);
  if (first < bytes) {
    if (part2 == nullptr || bytes2 == nullptr) return DSERR_INVALIDPARAM;
    *part2 = data_.data();
    *bytes2 = static_cast<DWORD>(bytes - first);
  }
  locked_ = true;
  return DS_OK;
}

HRESULT SoundBuffer::Unlock(LPVOID part1, DWORD bytes1, LPVOID part2, DWORD bytes2) {
  Checkpoint();
  std::lock_guard<std::mutex> guard(mutex_);
  if (!locked_) return DSERR_INVALIDCALL;
  auto inside = [&](LPVOID part, DWORD bytes) {
    auto* p = static_cast<std::uint8_t*>(part);
    return part == nullptr ? bytes == 0 : p >= data_.data() && p + bytes <= data_.data() + data_.size();
  };
  if (!inside(part1, bytes1) || !inside(part2, bytes2)) return DSERR_INVALIDPARAM;
  locked_ = false;
  return DS_OK;
}

HRESULT SoundBuffer::Play(DWORD reserved, DWORD, DWORD flags) {
  Checkpoint();
  if (reserved != 0) return DSERR_INVALIDPARAM;
  if (TakeFault(&AudioFaults::loseAtPlay)) {
    std::lock_guard<std::mutex> guard(mutex_);
    lost_ = true;
  }
  {
    std::lock_guard<std::mutex> guard(mutex_);
    if (lost_) return DSERR_BUFFERLOST;
    if (primary_) {
      // The primary only carries the output format: the secondaries play through their own devices.
      playing_ = true;
      looping_ = true;
      return DS_OK;
    }
    looping_ = (flags & DSBPLAY_LOOPING) != 0;
    if (playing_) return DS_OK;
    playing_ = true;
  }
  device_->Run(true);
  device_->Wake();
  return DS_OK;
}

HRESULT SoundBuffer::Stop() {
  Checkpoint();
  if (device_ != nullptr) device_->Run(false);  // keeps what played up to now
  std::vector<HANDLE> fire;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    if (playing_ && !primary_)
      for (const DSBPOSITIONNOTIFY& p : positions_)
        if (p.dwOffset == DSBPN_OFFSETSTOP) pending_.push_back(p.hEventNotify);
    playing_ = false;
  }
  Deliver();
  return DS_OK;
}

std::size_t SoundBuffer::Pull(std::uint8_t* out, std::size_t bytes) {
  std::lock_guard<std::mutex> guard(mutex_);
  const std::size_t size = data_.size();
  std::size_t copied = 0;
  while (playing_ && copied < bytes) {
    std::size_t n = std::min(bytes - copied, size - cursor_);
    std::memcpy(out + copied, data_.data() + cursor_, n);
    // Every position in (cursor, cursor + n] has been passed; offset 0 counts as the end.
    for (const DSBPOSITIONNOTIFY& p : positions_) {
      if (p.dwOffset == DSBPN_OFFSETSTOP) continue;
      std::size_t at = p.dwOffset > cursor_ ? p.dwOffset : p.dwOffset + size;
      if (at <= cursor_ + n) pending_.push_back(p.hEventNotify);
    }
    copied += n;
    cursor_ += n;
    if (cursor_ == size) {
      cursor_ = 0;
      if (!looping_) playing_ = false;
    }
  }
  return copied;
}

std::size_t SoundBuffer::BytesToNextEvent() {
  std::lock_guard<std::mutex> guard(mutex_);
  if (!playing_) return 0;
  const std::size_t size = data_.size();
  std::size_t next = looping_ ? size : size - cursor_;
  for (const DSBPOSITIONNOTIFY& p : positions_) {
    if (p.dwOffset == DSBPN_OFFSETSTOP) continue;
    std::size_t at = p.dwOffset > cursor_ ? p.dwOffset : p.dwOffset + size;
    next = std::min(next, at - cursor_);
  }
  return next;
}

}  // namespace

HRESULT WINAPI DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context) {
  if (callback == nullptr) return DSERR_INVALIDPARAM;
  std::vector<std::string> devices = HostAudioDevices();
  if (devices.empty()) return DS_OK;
  if (!callback(nullptr, "Primary output", "", context)) return DS_OK;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    GUID guid = DeviceGuid(static_cast<int>(i));
    if (!callback(&guid, devices[i].c_str(), "vemora-audio", context)) break;
  }
  return DS_OK;
}

HRESULT WINAPI DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* directSound, LPUNKNOWN outer) {
  if (directSound == nullptr) return DSERR_INVALIDPARAM;
  *directSound = nullptr;
  if (outer != nullptr) return DSERR_NOAGGREGATION;
  std::vector<std::string> devices = HostAudioDevices();
  if (devices.empty()) return DSERR_NODRIVER;
  int hostDevice = -1;
  static const GUID kNone{};
  if (device != nullptr && *device != kNone) {
    for (std::size_t i = 0; i < devices.size(); ++i)
      if (*device == DeviceGuid(static_cast<int>(i))) hostDevice = static_cast<int>(i);
    if (hostDevice < 0) return DSERR_NODRIVER;
  }
  *directSound = new DirectSound(hostDevice);
  return DS_OK;
}
