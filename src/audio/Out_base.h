// The audio system as the rest of the program sees it: the output-driver interface, the
// player thread's control block, and the ring of song positions that the scenes follow.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

class XMMusicPlayer;
class SoftwareMixer;
struct PlayerInfo;

// The block handed to Out_Base::open.
struct AudioFormat {
  int32_t size;  // kAudioFormatSize; Out_DS refuses anything else
  int32_t sampleRate;
  int32_t bytesPerSample;
  int32_t channels;
  int32_t bufferCount;
  int32_t bufferBytes;
  HWND window;
  int32_t deviceIndex;
};
constexpr int32_t kAudioFormatSize = 32;

// A driver parameter; records whose type is 4 carry two strings.
struct ParameterRecord {
  int32_t key;  // 0 ends a table
  int32_t type;
  char* name;
  int32_t value1;
  int32_t value2;
  char* text;
};

class Out_Base {
 public:
  Out_Base();
  virtual ~Out_Base();
  virtual bool open(const AudioFormat* format);  // true on failure
  virtual void close();
  virtual bool waitReady(int timeoutMs);  // true when a buffer may be written
  virtual bool writeBuffer(const void* data);
  virtual bool play();
  virtual bool pause();
  virtual void resetParameters();
  virtual void hook();
  void setParameters(const ParameterRecord* table);

  int32_t deviceCount;
  char** deviceNames;
  ParameterRecord* parameters;
  int32_t parameterCount;
  int32_t buffersSubmitted;

 protected:
  void freeDeviceNames();
};

// Control block of the running player thread.
struct PlayerThreadInfo {
  HANDLE thread = nullptr;
  DWORD threadId = 0;
  Out_Base* driver = nullptr;
  XMMusicPlayer* player = nullptr;
  SoftwareMixer* mixer = nullptr;
  std::atomic<uint8_t> stopRequested{0};
  HWND window = nullptr;
  std::atomic<uint8_t> seekPending{0};  // move the song to (seekOrder, seekRow) before the next buffer
  int32_t seekOrder = 0;
  int32_t seekRow = 0;
};

extern Out_Base* drivers[2];
extern XMMusicPlayer* musicPlayer;
extern SoftwareMixer* mixer;
extern int32_t framesPerBlock;
extern int32_t bytesPerFrame;
extern int32_t bufferCount;
extern int32_t blocksPerBuffer;
extern int32_t ringSize;
extern PlayerInfo** infoRing;
// writeSlot is written by the player thread only, readSlot by the main thread only.
extern std::atomic<int32_t> writeSlot;
extern std::atomic<int32_t> readSlot;
extern PlayerInfo* writeInfo;    // player thread
extern PlayerInfo* audibleInfo;  // main thread
extern PlayerThreadInfo* threadInfo;

// Zero-filling allocator for the ring, its records and the thread block; tests swap it.
extern void* (*audioAllocate)(size_t bytes);

void AudioCreate();
bool AudioStart();  // true on failure
void AudioAdvance(int ticks);
bool AudioPositionReached(int order, int row);
void AudioStop();
void AudioDestroy();
void AdvanceWriteSlot();
