// waveOut: a queue of prepared headers played in order by one host device; the callback gets
// WOM_DONE on the device's thread when a header has been played.
#include <mmsystem.h>

#include <cstring>
#include <deque>
#include <map>

#include "Audio.h"
#include "Core.h"
#include "Host.h"

using namespace vemora::platform;

namespace {

class WaveOut final : public AudioSource {
 public:
  HWAVEOUT handle = nullptr;
  LPWAVECALLBACK callback = nullptr;
  DWORD_PTR instance = 0;
  AudioDevice* device = nullptr;
  std::mutex mutex;  // never held while calling the device or the callback
  std::deque<WAVEHDR*> queue;
  std::size_t headPlayed = 0;  // bytes of queue.front() already played
  std::vector<WAVEHDR*> done;  // played or reset, WOM_DONE not yet sent
  bool paused = false;

  std::size_t Pull(std::uint8_t* out, std::size_t bytes) override {
    std::lock_guard<std::mutex> guard(mutex);
    std::size_t copied = 0;
    while (copied < bytes && !queue.empty()) {
      WAVEHDR* header = queue.front();
      std::size_t n = std::min<std::size_t>(bytes - copied, header->dwBufferLength - headPlayed);
      std::memcpy(out + copied, header->lpData + headPlayed, n);
      copied += n;
      headPlayed += n;
      if (headPlayed == header->dwBufferLength) Finish();
    }
    return copied;
  }

  std::size_t BytesToNextEvent() override {
    std::lock_guard<std::mutex> guard(mutex);
    // An empty header still has to come back.
    while (!queue.empty() && queue.front()->dwBufferLength == 0) Finish();
    return queue.empty() ? 0 : queue.front()->dwBufferLength - headPlayed;
  }

  void Deliver() override {
    std::vector<WAVEHDR*> finished;
    {
      std::lock_guard<std::mutex> guard(mutex);
      finished.swap(done);
    }
    for (WAVEHDR* header : finished)
      if (callback != nullptr) callback(handle, WOM_DONE, instance, reinterpret_cast<DWORD_PTR>(header), 0);
  }

  // Mutex held.
  void Finish() {
    WAVEHDR* header = queue.front();
    queue.pop_front();
    headPlayed = 0;
    header->dwFlags = (header->dwFlags & ~static_cast<DWORD>(WHDR_INQUEUE)) | WHDR_DONE;
    done.push_back(header);
  }
};

std::mutex registryLock;
std::map<HWAVEOUT, WaveOut*> registry;
std::uintptr_t nextHandle = 1;

WaveOut* Find(HWAVEOUT handle) {
  std::lock_guard<std::mutex> guard(registryLock);
  auto it = registry.find(handle);
  return it == registry.end() ? nullptr : it->second;
}

}  // namespace

UINT WINAPI waveOutGetNumDevs(void) { return static_cast<UINT>(HostAudioDevices().size()); }

MMRESULT WINAPI waveOutGetDevCapsA(UINT_PTR deviceId, LPWAVEOUTCAPSA caps, UINT size) {
  Checkpoint();
  if (caps == nullptr || size < sizeof(WAVEOUTCAPSA)) return MMSYSERR_INVALPARAM;
  std::vector<std::string> names = HostAudioDevices();
  std::string name;
  if (deviceId == WAVE_MAPPER) {
    if (names.empty()) return MMSYSERR_NODRIVER;
    name = "Default output";
  } else if (deviceId < names.size()) {
    name = names[deviceId];
  } else {
    return MMSYSERR_BADDEVICEID;
  }
  std::memset(caps, 0, sizeof(WAVEOUTCAPSA));
  caps->vDriverVersion = 0x0100;
  std::strncpy(caps->szPname, name.c_str(), MAXPNAMELEN - 1);
  caps->dwFormats = 0x00000FFF;  // 11, 22 and 44 kHz, mono and stereo, 8 and 16 bits
  caps->wChannels = 2;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT result, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                            DWORD_PTR instance, DWORD flags) {
  Checkpoint();
  if (format == nullptr) return MMSYSERR_INVALPARAM;
  std::size_t count = HostAudioDevices().size();
  if (deviceId != WAVE_MAPPER && deviceId >= count) return MMSYSERR_BADDEVICEID;
  if (count == 0) return MMSYSERR_NODRIVER;
  if (!ValidPcm(format->wFormatTag, format->nChannels, format->wBitsPerSample, static_cast<int>(format->nSamplesPerSec),
                format->nBlockAlign) ||
      format->nSamplesPerSec > static_cast<DWORD>(kMaxAudioRate))
    return WAVERR_BADFORMAT;
  if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
  DWORD kind = flags & CALLBACK_TYPEMASK;
  if (kind != CALLBACK_NULL && kind != CALLBACK_FUNCTION) return MMSYSERR_NOTSUPPORTED;
  if (result == nullptr) return MMSYSERR_INVALPARAM;
  if (TakeFault(&AudioFaults::failWaveOutOpen)) return MMSYSERR_ALLOCATED;

  auto* wave = new WaveOut;
  if (kind == CALLBACK_FUNCTION) wave->callback = reinterpret_cast<LPWAVECALLBACK>(callback);
  wave->instance = instance;
  AudioFormatInfo info{static_cast<int>(format->nSamplesPerSec), format->nChannels, format->wBitsPerSample};
  int hostDevice = deviceId == WAVE_MAPPER ? -1 : static_cast<int>(deviceId);
  wave->device = CurrentHost().OpenAudio(hostDevice, info, wave);
  if (wave->device == nullptr) {
    delete wave;
    return MMSYSERR_ALLOCATED;
  }
  {
    std::lock_guard<std::mutex> guard(registryLock);
    wave->handle = reinterpret_cast<HWAVEOUT>(nextHandle++ * 16);
    registry[wave->handle] = wave;
  }
  *result = wave->handle;
  if (wave->callback != nullptr) wave->callback(wave->handle, WOM_OPEN, instance, 0, 0);
  wave->device->Run(true);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
  Checkpoint();
  WaveOut* wave = Find(handle);
  if (wave == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || size < sizeof(WAVEHDR) || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> guard(wave->mutex);
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
  Checkpoint();
  WaveOut* wave = Find(handle);
  if (wave == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> guard(wave->mutex);
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutWrite(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
  Checkpoint();
  WaveOut* wave = Find(handle);
  if (wave == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  if (FaultOn(&AudioFaults::hangWrites)) HangForever();
  {
    std::lock_guard<std::mutex> guard(wave->mutex);
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags & ~static_cast<DWORD>(WHDR_DONE)) | WHDR_INQUEUE;
    wave->queue.push_back(header);
  }
  wave->device->Wake();
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutPause(HWAVEOUT handle) {
  Checkpoint();
  WaveOut* wave = Find(handle);
  if (wave == nullptr) return MMSYSERR_INVALHANDLE;
  wave->device->Run(false);
  std::lock_guard<std::mutex> guard(wave->mutex);
  wave->paused = true;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutRestart(HWAVEOUT handle) {
  Checkpoint();
  WaveOut* wave = Find(handle);
  if (wave == nullptr) return MMSYSERR_INVALHANDLE;
  {
    std::lock_guard<std::mutex> guard(wave->mutex);
    wave->paused = false;
  }
  wave->device->Run(true);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutReset(HWAVEOUT handle) {
  Checkpoint();
  WaveOut* wave = Find(handle);
  if (wave == nullptr) return MMSYSERR_INVALHANDLE;
  bool paused;
  {
    std::lock_guard<std::mutex> guard(wave->mutex);
    paused = wave->paused;
  }
  wave->device->Run(false);
  {
    std::lock_guard<std::mutex> guard(wave->mutex);
    while (!wave->queue.empty()) wave->Finish();
  }
  if (!paused) wave->device->Run(true);
  wave->device->Wake();  // the device thread returns the headers
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutClose(HWAVEOUT handle) {
  Checkpoint();
  WaveOut* wave = Find(handle);
  if (wave == nullptr) return MMSYSERR_INVALHANDLE;
  {
    std::lock_guard<std::mutex> guard(wave->mutex);
    if (!wave->queue.empty()) return WAVERR_STILLPLAYING;
  }
  {
    std::lock_guard<std::mutex> guard(registryLock);
    registry.erase(handle);
  }
  wave->device->Close();
  delete wave->device;
  wave->Deliver();  // headers returned by a reset that the device had not sent back yet
  if (wave->callback != nullptr) wave->callback(handle, WOM_CLOSE, wave->instance, 0, 0);
  delete wave;
  return MMSYSERR_NOERROR;
}
