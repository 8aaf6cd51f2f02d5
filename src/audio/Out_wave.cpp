#include "audio/Out_wave.h"

#include <cstdlib>
#include <cstring>

namespace {

char* CopyName(const char* text) {
  const size_t length = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(std::malloc(length));
  if (copy) std::memcpy(copy, text, length);
  return copy;
}

}  // namespace

Out_Wave::Out_Wave()
    : waveOut(nullptr),
      paused(0),
      started(0),
      bufferCount(0),
      bufferBytes(0),
      headers(nullptr),
      doneEvent(nullptr),
      bufferMemory(nullptr),
      freeBuffers(0),
      sendIndex(0),
      fillIndex(0) {
  const UINT count = waveOutGetNumDevs();
  if (count == 0) return;
  deviceNames = static_cast<char**>(std::calloc(count, sizeof(char*)));
  if (!deviceNames) return;
  deviceCount = static_cast<int32_t>(count);
  for (UINT i = 0; i < count; ++i) {
    WAVEOUTCAPSA caps{};
    waveOutGetDevCapsA(i, &caps, sizeof(caps));
    caps.szPname[MAXPNAMELEN - 1] = 0;
    deviceNames[i] = CopyName(caps.szPname);
  }
}

Out_Wave::~Out_Wave() {}

bool Out_Wave::open(const AudioFormat* format) {
  freeBuffers = format->bufferCount - 1;
  sendIndex = fillIndex = 0;

  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = static_cast<WORD>(format->channels);
  wave.nSamplesPerSec = static_cast<DWORD>(format->sampleRate);
  wave.wBitsPerSample = static_cast<WORD>(format->bytesPerSample * 8);
  wave.nBlockAlign = static_cast<WORD>(wave.nChannels * wave.wBitsPerSample / 8);
  wave.nAvgBytesPerSec = wave.nBlockAlign * wave.nSamplesPerSec;
  wave.cbSize = 0;

  bufferCount = format->bufferCount;
  bufferBytes = format->bufferBytes;
  if (bufferCount < 1 || bufferBytes < 1) return true;

  doneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!doneEvent.load()) return true;
  headers = static_cast<WAVEHDR*>(std::calloc(static_cast<size_t>(bufferCount), sizeof(WAVEHDR)));
  if (!headers) return true;
  bufferMemory = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bufferCount) * static_cast<size_t>(bufferBytes)));
  if (!bufferMemory) return true;
  for (int32_t i = 0; i < bufferCount; ++i) {
    headers[i].lpData = reinterpret_cast<LPSTR>(bufferMemory + static_cast<size_t>(i) * static_cast<size_t>(bufferBytes));
    headers[i].dwBufferLength = static_cast<DWORD>(bufferBytes);
  }
  // Always the wave mapper, whichever device was chosen.
  return waveOutOpen(&waveOut, WAVE_MAPPER, &wave, reinterpret_cast<DWORD_PTR>(WaveOutDone),
                     reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR;
}

void Out_Wave::close() {
  if (waveOut) {
    waveOutReset(waveOut);
    for (int32_t i = 0; i < bufferCount; ++i)
      if (headers && (headers[i].dwFlags & WHDR_PREPARED)) waveOutUnprepareHeader(waveOut, &headers[i], sizeof(WAVEHDR));
    waveOutClose(waveOut);
    waveOut = nullptr;
  }
  // After the device: a completion callback still running may yet signal the event.
  if (HANDLE event = doneEvent.exchange(nullptr)) CloseHandle(event);
  bufferCount = bufferBytes = 0;
  freeBuffers = 0;
  std::free(headers);
  headers = nullptr;
  std::free(bufferMemory);
  bufferMemory = nullptr;
  paused = started = 0;
}

bool Out_Wave::waitReady(int timeoutMs) {
  if (freeBuffers > 0) return true;
  HANDLE event = doneEvent.load();
  if (!event) return false;
  return WaitForSingleObject(event, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0 && freeBuffers > 0;
}

bool Out_Wave::writeBuffer(const void* data) {
  if (!waveOut || freeBuffers <= 0) return true;
  freeBuffers.fetch_sub(1);
  WAVEHDR& header = headers[fillIndex];
  std::memcpy(header.lpData, data, static_cast<size_t>(bufferBytes));
  if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(waveOut, &header, sizeof(WAVEHDR));
  if (waveOutPrepareHeader(waveOut, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return true;
  fillIndex = (fillIndex + 1) % bufferCount;
  if (started) return sendFilled();
  return false;
}

bool Out_Wave::sendFilled() {
  while (sendIndex != fillIndex) {
    ++buffersSubmitted;
    if (waveOutWrite(waveOut, &headers[sendIndex], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return true;
    sendIndex = (sendIndex + 1) % bufferCount;
  }
  return false;
}

bool Out_Wave::play() {
  if (!waveOut) return false;
  if (paused) {
    if (waveOutRestart(waveOut) != MMSYSERR_NOERROR) return true;
    paused = 0;
    return false;
  }
  const bool failed = sendFilled();
  started = 1;
  return failed;
}

bool Out_Wave::pause() {
  if (!waveOut || paused) return false;
  if (waveOutPause(waveOut) == MMSYSERR_NOERROR) {
    paused = 1;
  } else {
    waveOutReset(waveOut);
    started = 0;
  }
  return false;
}

void CALLBACK WaveOutDone(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
  if (message != WOM_DONE) return;
  auto* self = reinterpret_cast<Out_Wave*>(instance);
  self->freeBuffers.fetch_add(1);
  if (HANDLE event = self->doneEvent.load()) SetEvent(event);
}
