#include "RenderSong.h"

#include <algorithm>
#include <limits>

#include "audio/Mixer.h"
#include "player/Xmplayer.h"

namespace xmrender {

bool RenderStream(const char* path, const Options& options, RenderSink& sink, bool& songEnded) {
  songEnded = false;
  XMMusicPlayer player;
  if (player.LoadFile(path, nullptr)) return true;
  if (!sink.Begin()) return false;
  player.SetMixRate(options.rate);
  player.SetLooping(false);
  SoftwareMixer mixer(player.channelCount);
  mixer.setMode(options.plain ? MixModeStereo : MixModeStereoInterpolated);

  // No limit, or one past what 64 bits of frames can count, renders until the song ends.
  const double limitFrames = options.seconds * options.rate;
  const int64_t limit = options.seconds < 0 || !(limitFrames < 9.2e18) ? std::numeric_limits<int64_t>::max()
                                                                       : static_cast<int64_t>(limitFrames);
  // Mix into a small block that stays in cache and hand it over whole: mixing straight into a
  // growing result costs a clear and a page fault per frame.
  constexpr int kBlockFrames = 4096;
  int16_t block[kBlockFrames * 2];
  int blockFrames = 0;
  int64_t frames = 0;
  bool more = true;
  // With looping off the song's last tick still plays in full after songEnded is set.
  while (more && frames < limit && !(player.songEnded && player.samplesLeft == 0)) {
    int chunk;
    if (player.samplesLeft == 0) {
      // A tick begins with this frame; it starts a row unless it repeats a delayed one.
      if (options.positions && player.tick == 0 && player.patternDelay == -1)
        sink.RowStarted({frames, player.order, player.row});
      chunk = 1;
    } else {
      // The rest of the tick; its length may have changed in the tick that just ran.
      chunk = player.samplesLeft;
    }
    chunk = static_cast<int>(std::min<int64_t>({chunk, limit - frames, kBlockFrames - blockFrames}));
    uint8_t* cursor = reinterpret_cast<uint8_t*>(block + blockFrames * 2);
    player.Render(&mixer, cursor, chunk, nullptr, 1);
    frames += chunk;
    blockFrames += chunk;
    if (blockFrames == kBlockFrames) {
      more = sink.Pcm(block, kBlockFrames);
      blockFrames = 0;
    }
  }
  if (more && blockFrames > 0) sink.Pcm(block, blockFrames);
  songEnded = more && player.songEnded && player.samplesLeft == 0;
  return false;
}

bool RenderFile(const char* path, const Options& options, Render& out) {
  out.pcm.clear();
  out.rows.clear();
  return RenderStream(path, options, out, out.songEnded);
}

}  // namespace xmrender
