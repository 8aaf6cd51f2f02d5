// The audio system as the rest of the program sees it.
#pragma once
#include <atomic>
#include <cstdint>

// Control block of the running player thread.
struct PlayerThreadInfo {
  std::atomic<uint8_t> stopRequested{0};
  std::atomic<uint8_t> seekPending{0};  // move the song to (seekOrder, seekRow) before the next buffer
  int32_t seekOrder = 0;
  int32_t seekRow = 0;
};

extern PlayerThreadInfo* threadInfo;

void AudioCreate();
bool AudioStart();  // true on failure
void AudioAdvance(int ticks);
bool AudioPositionReached(int order, int row);
void AudioStop();
void AudioDestroy();

// Stand-in for the audible position: blocks advanced since AudioStart.
extern int32_t audibleBlocks;

// Until the output drivers exist, tests reach the start failure through this switch.
extern bool refuseAudioStart;
