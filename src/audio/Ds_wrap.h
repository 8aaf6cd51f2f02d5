// Thin owners of the DirectSound objects: the device with its enumeration, and one buffer
// with its format, lock state and, for streaming, a ring of blocks with one event each.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <cstdint>

class DSoundBuffer_Wrap;

struct DSoundDeviceEntry {
  GUID guid;  // all zero for the default device
  char* description;
  char* module;
};

// Settings kept for a group of buffers; carried along, never applied to a device buffer.
struct DSoundGroupSettings {
  int32_t first;
  int32_t second;
  float factor;
};

class DSound_Wrap {
 public:
  DSound_Wrap();
  ~DSound_Wrap();
  bool createDevice(int index);  // true on failure
  bool setCooperativeLevel(HWND window, DWORD level);
  void releaseDevice();

  IDirectSound* directSound;
  int32_t deviceCount;
  DSoundDeviceEntry* devices;
  DSCAPS caps;
  int32_t selfReleasingRegistered;
  int32_t selfReleasingInSoftware;
  int32_t groupLimit;
  DSoundGroupSettings master;
  DSoundGroupSettings groups[16];
  int32_t enumIndex;
  uint8_t countOnly;
  DSoundBuffer_Wrap* newestBuffer;
  DSoundBuffer_Wrap* newestSelfReleasing;
  DSoundBuffer_Wrap* oldestSelfReleasing;

  static BOOL CALLBACK EnumerateCallback(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context);
};

class DSoundBuffer_Wrap {
 public:
  explicit DSoundBuffer_Wrap(DSound_Wrap* owner);
  ~DSoundBuffer_Wrap();
  void setFormat(int bits, int channels, int rate);
  bool createBuffer();
  bool createPrimary();
  bool createStream(int blockBytes, int blockCount);
  void play(bool looping);
  void stop();
  bool restore();  // true when restored
  bool lock(DWORD offset, DWORD bytes);
  void unlock();
  bool waitAny(DWORD ms);  // true unless it timed out
  bool lockNext();
  void release();

  IDirectSoundBuffer* soundBuffer;
  DSBUFFERDESC desc;
  WAVEFORMATEX format;
  DSound_Wrap* owner;
  void* lockedPart1;
  DWORD lockedBytes1;
  void* lockedPart2;
  DWORD lockedBytes2;
  uint8_t inHardware;
  uint8_t loopOnPlay;
  uint8_t locked;
  int32_t group;
  DSoundGroupSettings settings;
  DSoundGroupSettings groupSettings;
  int32_t sampleRate;
  DSoundBuffer_Wrap* newer;
  DSoundBuffer_Wrap* older;
  DSBPOSITIONNOTIFY* notifyPositions;
  HANDLE* events;
  int32_t blockBytes;
  int32_t blockCount;
  int32_t writeBlock;
  IDirectSoundNotify* notify;

 private:
  void reset();
};
