// Loads arbitrary bytes as an XM image and plays a few seconds of whatever the loader accepts
// through the replay engine and the mixer, block by block as the player thread does: first
// interpolated, then plain. Every effect command, envelope and loop of the input runs.
#include <cstdint>
#include <vector>

#include "audio/Mixer.h"
#include "player/Xmplayer.h"

namespace {

// A low rate: the replay engine runs the same ticks as at 44100 Hz for a quarter of the mixing.
constexpr int kRate = 11025;
constexpr int kBlockFrames = kRate / 70;
constexpr int kBlocksPerMode = 2 * 70;  // two seconds

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static XMMusicPlayer* player = new XMMusicPlayer;
  if (player->LoadMemory(data, static_cast<int>(size), nullptr)) return 0;
  player->SetMixRate(kRate);
  SoftwareMixer mixer(player->channelCount);
  std::vector<ChannelLevel> levels(static_cast<size_t>(player->channelCount));
  PlayerInfo info{};
  info.channelCount = player->channelCount;
  info.levels = levels.data();
  std::vector<int16_t> block(2 * kBlockFrames);
  for (int mode : {MixModeStereoInterpolated, MixModeStereo}) {
    Check(!mixer.setMode(mode));
    for (int b = 0; b < kBlocksPerMode; ++b) {
      uint8_t* cursor = reinterpret_cast<uint8_t*>(block.data());
      player->Render(&mixer, cursor, kBlockFrames, &info, 1);
      Check(cursor == reinterpret_cast<uint8_t*>(block.data() + block.size()));
      // The position the scenes would follow names a row of a pattern in the song.
      const uint32_t position = info.position.load();
      const int order = static_cast<int>(position >> 16);
      Check(order < player->songLength && static_cast<int>(position & 0xFFFF) < player->orderRows[order]);
    }
  }
  player->Unload();
  return 0;
}
