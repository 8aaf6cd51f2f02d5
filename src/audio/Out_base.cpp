#include "audio/Out_base.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "app/Myform.h"
#include "app/Settings.h"
#include "assets/Assets.h"
#include "audio/Mixer.h"
#include "audio/Out_ds.h"
#include "audio/Out_wave.h"
#include "audio/Playth.h"
#include "player/Xmplayer.h"

namespace {

char* CopyString(const char* text) {
  if (!text) return nullptr;
  const size_t length = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(std::malloc(length));
  if (copy) std::memcpy(copy, text, length);
  return copy;
}

void* ZeroedAllocate(size_t bytes) { return std::calloc(1, bytes); }

constexpr DWORD kStopWaitMs = 500;
// Our platform cannot end a thread at once: a terminated thread stops at its next call into it,
// at most one buffer's rendering later.
constexpr DWORD kTerminatedWaitMs = 100;

PlayerInfo* NewPlayerInfo(int channels) {
  void* memory = audioAllocate(sizeof(PlayerInfo));
  if (!memory) return nullptr;
  auto* info = new (memory) PlayerInfo{};
  if (channels > 0) {
    info->levels = static_cast<ChannelLevel*>(audioAllocate(sizeof(ChannelLevel) * static_cast<size_t>(channels)));
    info->channelCount = info->levels ? channels : 0;
  }
  return info;
}

void DeletePlayerInfo(PlayerInfo* info) {
  if (!info) return;
  std::free(info->levels);
  info->~PlayerInfo();
  std::free(info);
}

void DeleteRing() {
  if (!infoRing) return;
  for (int32_t i = 0; i < ringSize; ++i) DeletePlayerInfo(infoRing[i]);
  std::free(infoRing);
  infoRing = nullptr;
  writeInfo = audibleInfo = nullptr;
}

void DeleteThreadInfo() {
  if (!threadInfo) return;
  threadInfo->~PlayerThreadInfo();
  std::free(threadInfo);
  threadInfo = nullptr;
}

// Waits for the player thread, terminating it after the time-out. False while it may still run.
bool PlayerThreadEnded() {
  const HANDLE thread = threadInfo->thread;
  if (WaitForSingleObject(thread, kStopWaitMs) != WAIT_OBJECT_0) {
    // Silent before the box: a stuck thread's buffers would otherwise repeat while it is up.
    if (threadInfo->driver) threadInfo->driver->pause();
    MessageBoxA(threadInfo->window, "PlayerThread failed to stop", "Problem", MB_OK);
    TerminateThread(thread, static_cast<DWORD>(-1));
    if (WaitForSingleObject(thread, kTerminatedWaitMs) != WAIT_OBJECT_0) return false;
  }
  CloseHandle(thread);
  threadInfo->thread = nullptr;
  return true;
}

void DeleteDriver(int index, const Out_Base* inUse) {
  if (drivers[index] == inUse) return;
  delete drivers[index];
  drivers[index] = nullptr;
}

}  // namespace

// --- Out_Base

Out_Base::Out_Base() : deviceCount(0), deviceNames(nullptr), parameters(nullptr), parameterCount(0), buffersSubmitted(0) {
  Out_Base::resetParameters();
}

Out_Base::~Out_Base() {
  Out_Base::pause();
  Out_Base::close();
  setParameters(nullptr);
  std::free(parameters);
  parameters = nullptr;
  freeDeviceNames();
}

void Out_Base::freeDeviceNames() {
  if (deviceNames) {
    for (int32_t i = 0; i < deviceCount; ++i) std::free(deviceNames[i]);
    std::free(deviceNames);
  }
  deviceNames = nullptr;
  deviceCount = 0;
}

bool Out_Base::open(const AudioFormat*) { return true; }
void Out_Base::close() {}
bool Out_Base::waitReady(int) { return false; }
bool Out_Base::writeBuffer(const void*) { return true; }
bool Out_Base::play() { return true; }
bool Out_Base::pause() { return true; }
void Out_Base::resetParameters() { setParameters(nullptr); }
void Out_Base::hook() {}

void Out_Base::setParameters(const ParameterRecord* table) {
  if (parameters) {
    for (int32_t i = 0; i < parameterCount; ++i) {
      if (parameters[i].type == 4) {
        std::free(parameters[i].name);
        std::free(parameters[i].text);
      }
    }
    std::free(parameters);
  }
  parameters = nullptr;
  parameterCount = 0;
  int32_t count = 0;
  while (table && table[count].key != 0) ++count;
  parameters = static_cast<ParameterRecord*>(std::calloc(static_cast<size_t>(count) + 1, sizeof(ParameterRecord)));
  if (!parameters) return;
  for (int32_t i = 0; i < count; ++i) {
    parameters[i] = table[i];
    if (table[i].type == 4) {
      parameters[i].name = CopyString(table[i].name);
      parameters[i].text = CopyString(table[i].text);
    }
  }
  parameterCount = count;
}

// --- The audio system

Out_Base* drivers[2] = {nullptr, nullptr};
XMMusicPlayer* musicPlayer = nullptr;
SoftwareMixer* mixer = nullptr;
int32_t framesPerBlock = 0;
int32_t bytesPerFrame = 0;
int32_t bufferCount = 0;
int32_t blocksPerBuffer = 0;
int32_t ringSize = 0;
PlayerInfo** infoRing = nullptr;
std::atomic<int32_t> writeSlot{0};
std::atomic<int32_t> readSlot{0};
PlayerInfo* writeInfo = nullptr;
PlayerInfo* audibleInfo = nullptr;
PlayerThreadInfo* threadInfo = nullptr;
void* (*audioAllocate)(size_t bytes) = ZeroedAllocate;

void AudioCreate() {
  drivers[0] = new (std::nothrow) Out_Wave;
  drivers[1] = new (std::nothrow) Out_DS;
  musicPlayer = new (std::nothrow) XMMusicPlayer;
  if (musicPlayer) {
    const Asset song = SongImage();
    musicPlayer->LoadMemory(song.data, song.size, nullptr);
    mixer = new (std::nothrow) SoftwareMixer(musicPlayer->channelCount);
  }
}

bool AudioStart() {
  // A player thread of an earlier start that never stopped still writes into its ring.
  if (threadInfo) return true;
  framesPerBlock = mixRate / 70;
  bytesPerFrame = (stereo + 1) * 2;
  bufferCount = 16;
  blocksPerBuffer = 17920 / bufferCount / 256;
  const int64_t bufferBytes = int64_t{framesPerBlock} * bytesPerFrame * blocksPerBuffer;
  // A rate below 70 Hz leaves no block to render; a buffer must fit the 32-bit format block.
  if (framesPerBlock < 1 || bytesPerFrame < 1 || bufferBytes > INT32_MAX) return true;
  if (!musicPlayer || !mixer) return true;
  musicPlayer->SetMixRate(mixRate);
  mixer->setMode(stereo ? (interpolation ? MixModeStereoInterpolated : MixModeStereo)
                        : (interpolation ? MixModeMonoInterpolated : MixModeMono));

  writeSlot = 0;
  readSlot = 0;
  ringSize = blocksPerBuffer * bufferCount;
  infoRing = static_cast<PlayerInfo**>(audioAllocate(sizeof(PlayerInfo*) * static_cast<size_t>(ringSize)));
  if (!infoRing) return true;
  for (int32_t i = 0; i < ringSize; ++i) {
    infoRing[i] = NewPlayerInfo(musicPlayer->channelCount);
    if (!infoRing[i]) {
      DeleteRing();
      return true;
    }
  }
  writeInfo = audibleInfo = infoRing[0];

  void* block = audioAllocate(sizeof(PlayerThreadInfo));
  if (!block) {
    DeleteRing();
    return true;
  }
  threadInfo = new (block) PlayerThreadInfo;
  threadInfo->mixer = mixer;
  if (audioDriver < 0 || audioDriver > 1) return true;
  threadInfo->driver = drivers[audioDriver];
  threadInfo->player = musicPlayer;
  threadInfo->window = mainWindow;

  AudioFormat format{};
  format.size = kAudioFormatSize;
  format.sampleRate = mixRate;
  format.bytesPerSample = 2;
  format.channels = stereo + 1;
  format.bufferCount = bufferCount;
  format.bufferBytes = static_cast<int32_t>(bufferBytes);
  format.window = mainWindow;
  format.deviceIndex = audioDevice;
  if (!threadInfo->driver || threadInfo->driver->open(&format)) return true;

  threadInfo->thread = CreateThread(nullptr, 0, PlayerThreadProc, threadInfo, 0, &threadInfo->threadId);
  // Without a thread nothing would ever play: report it rather than run silent.
  if (!threadInfo->thread) return true;
  SetThreadPriority(threadInfo->thread, THREAD_PRIORITY_HIGHEST);
  return false;
}

void AdvanceWriteSlot() {
  if (!infoRing) return;
  const int32_t next = (writeSlot.load(std::memory_order_relaxed) + 1) % ringSize;
  if (next != readSlot.load(std::memory_order_acquire)) {
    writeInfo = infoRing[next];
    writeSlot.store(next, std::memory_order_release);
  }
}

void AudioAdvance(int ticks) {
  if (!infoRing) return;
  int32_t slot = readSlot.load(std::memory_order_relaxed);
  const int32_t newest = writeSlot.load(std::memory_order_acquire);
  while (ticks > 0 && slot != newest) {
    slot = (slot + 1) % ringSize;
    --ticks;
  }
  readSlot.store(slot, std::memory_order_release);
  audibleInfo = infoRing[slot];
}

bool AudioPositionReached(int order, int row) {
  if (!audibleInfo) return false;
  // Order and row come from one word, so they always belong to the same block.
  const uint32_t position = audibleInfo->position.load(std::memory_order_acquire);
  const int heardOrder = static_cast<int>(position >> 16);
  const int heardRow = static_cast<int>(position & 0xFFFF);
  if (heardOrder == order) return heardRow >= row;
  return heardOrder > order;
}

void AudioStop() {
  if (threadInfo) {
    // The thread ends first, so that no driver call of the main thread overlaps one of its own;
    // only pause may, which touches nothing the thread uses but the device's play state.
    threadInfo->stopRequested = 1;
    const bool ended = !threadInfo->thread || PlayerThreadEnded();
    if (threadInfo->driver) threadInfo->driver->pause();  // silent at once, whatever the thread does
    // A thread that may still run keeps its block, the ring and the driver's buffers (and, in
    // AudioDestroy, the mixer and the player) until a later stop sees it ended.
    if (!ended) return;
    if (threadInfo->driver) threadInfo->driver->close();
  }
  DeleteRing();
  DeleteThreadInfo();
}

void AudioDestroy() {
  const Out_Base* inUse = threadInfo ? threadInfo->driver : nullptr;
  DeleteDriver(1, inUse);
  DeleteDriver(0, inUse);
  if (threadInfo) return;
  delete mixer;
  mixer = nullptr;
  delete musicPlayer;
  musicPlayer = nullptr;
}
