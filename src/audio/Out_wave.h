// The waveOut driver: a ring of wave headers over one block of buffer memory.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <atomic>

#include "audio/Out_base.h"

class Out_Wave : public Out_Base {
 public:
  Out_Wave();
  ~Out_Wave() override;
  bool open(const AudioFormat* format) override;
  void close() override;
  bool waitReady(int timeoutMs) override;
  bool writeBuffer(const void* data) override;
  bool play() override;
  bool pause() override;

  HWAVEOUT waveOut;
  uint8_t paused;
  uint8_t started;
  int32_t bufferCount;
  int32_t bufferBytes;
  WAVEHDR* headers;
  std::atomic<HANDLE> doneEvent;  // read by the device's callback thread
  uint8_t* bufferMemory;
  std::atomic<int32_t> freeBuffers;  // raised by the device's callback, lowered by writeBuffer
  int32_t sendIndex;
  int32_t fillIndex;

 private:
  bool sendFilled();
};

void CALLBACK WaveOutDone(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);
