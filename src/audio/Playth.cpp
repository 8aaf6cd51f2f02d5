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

  while (!info->stopRequested && driver->waitReady(0)) {
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
    driver->writeBuffer(buffer);
  }
  std::free(buffer);
  return 0;
}
