#include "audio/Playth.h"

#include <cstdlib>

#include "audio/Out_base.h"
#include "player/Xmplayer.h"

namespace {

constexpr int kSteadyWaitMs = 250;

void RenderBuffer(XMMusicPlayer* player, SoftwareMixer* blockMixer, uint8_t* buffer, int32_t blockBytes) {
  for (int32_t k = 0; k < blocksPerBuffer; ++k) {
    uint8_t* cursor = buffer + static_cast<size_t>(k) * static_cast<size_t>(blockBytes);
    player->Render(blockMixer, cursor, framesPerBlock, writeInfo, 1);
    AdvanceWriteSlot();
  }
}

// A refused write loses the buffer's audio and leaves its block free, so the next wait returns
// at once (a lost sound buffer that cannot be restored): waiting as long as the buffer would
// have played keeps the song, and the scenes that follow it, in real time instead of racing.
void WriteOrWait(Out_Base* driver, const uint8_t* buffer) {
  if (driver->writeBuffer(buffer)) Sleep(static_cast<DWORD>(blocksPerBuffer * 1000 / 70));
}

}  // namespace

DWORD WINAPI PlayerThreadProc(LPVOID parameter) {
  auto* info = static_cast<PlayerThreadInfo*>(parameter);
  Out_Base* driver = info->driver;
  XMMusicPlayer* player = info->player;
  const int32_t blockBytes = framesPerBlock * bytesPerFrame;
  auto* buffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(blockBytes) * blocksPerBuffer));
  if (!buffer || !info->mixer || !player || !driver || framesPerBlock <= 0) {
    std::free(buffer);
    return static_cast<DWORD>(-1);
  }

  // An open driver takes bufferCount - 1 buffers before it plays. Refused ones count too, so
  // that the song starts as far ahead of the listener as it does with sound.
  for (int32_t queued = 0; queued < bufferCount - 1 && !info->stopRequested && driver->waitReady(0); ++queued) {
    RenderBuffer(player, info->mixer, buffer, blockBytes);
    driver->writeBuffer(buffer);
  }
  driver->play();
  while (!info->stopRequested) {
    SoftwareMixer* blockMixer = info->mixer;
    if (!driver->waitReady(kSteadyWaitMs)) continue;
    // Taken and cleared in one step, so that a request arriving meanwhile is not lost.
    if (info->seekPending.exchange(0)) player->SetPosition(info->seekOrder, info->seekRow);
    RenderBuffer(player, blockMixer, buffer, blockBytes);
    WriteOrWait(driver, buffer);
  }
  std::free(buffer);
  return 0;
}
