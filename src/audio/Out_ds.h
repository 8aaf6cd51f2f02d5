// The DirectSound driver: a primary buffer in the output format and a streaming secondary of
// bufferCount blocks of bufferBytes, written one block at a time.
#pragma once
#include "audio/Ds_wrap.h"
#include "audio/Out_base.h"

class Out_DS : public Out_Base {
 public:
  Out_DS();
  ~Out_DS() override;
  bool open(const AudioFormat* format) override;
  void close() override;
  bool waitReady(int timeoutMs) override;
  bool writeBuffer(const void* data) override;
  bool play() override;
  bool pause() override;

  DSound_Wrap* device;
  DSoundBuffer_Wrap* primary;
  DSoundBuffer_Wrap* secondary;
};
