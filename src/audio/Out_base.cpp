#include "audio/Out_base.h"

// Stand-in until the drivers, the player thread and the position ring exist: silence, and a
// song position that is never reached.

PlayerThreadInfo* threadInfo = nullptr;
bool refuseAudioStart = false;
int32_t audibleBlocks = 0;

void AudioCreate() {}

bool AudioStart() {
  threadInfo = new PlayerThreadInfo;
  audibleBlocks = 0;
  return refuseAudioStart;
}

void AudioAdvance(int ticks) {
  if (threadInfo && ticks > 0) audibleBlocks += ticks;
}

bool AudioPositionReached(int order, int row) { return false; }

void AudioStop() {
  delete threadInfo;
  threadInfo = nullptr;
}

void AudioDestroy() {}
