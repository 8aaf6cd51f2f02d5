#include "RenderSong.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "audio/Mixer.h"
#include "player/Xmplayer.h"

namespace xmrender {

bool RenderFile(const char* path, const Options& options, Render& out) {
  // Keep the buffers' capacity: a caller rendering again reuses memory it already touched.
  out.pcm.clear();
  out.rows.clear();
  out.songEnded = false;
  XMMusicPlayer player;
  if (player.LoadFile(path, nullptr)) return true;
  player.SetMixRate(options.rate);
  player.SetLooping(false);
  SoftwareMixer mixer(player.channelCount);
  mixer.setMode(options.plain ? MixModeStereo : MixModeStereoInterpolated);

  const int64_t limit = options.seconds < 0
                            ? std::numeric_limits<int64_t>::max()
                            : static_cast<int64_t>(options.seconds * options.rate);
  // Mix into a small block that stays in cache and append it whole: mixing straight into the
  // growing result costs a clear and a page fault per frame.
  constexpr int kBlockFrames = 4096;
  std::vector<int16_t> block(kBlockFrames * 2);
  int blockFrames = 0;
  out.pcm.reserve(static_cast<size_t>(std::min<int64_t>(limit, int64_t{options.rate} * 60)) * 2);
  int64_t frames = 0;
  // With looping off the song's last tick still plays in full after songEnded is set.
  while (frames < limit && !(player.songEnded && player.samplesLeft == 0)) {
    int chunk;
    if (player.samplesLeft == 0) {
      // A tick begins with this frame; it starts a row unless it repeats a delayed one.
      if (options.positions && player.tick == 0 && player.patternDelay == -1)
        out.rows.push_back({frames, player.order, player.row});
      chunk = 1;
    } else {
      // The rest of the tick; its length may have changed in the tick that just ran.
      chunk = player.samplesLeft;
    }
    chunk = static_cast<int>(std::min<int64_t>({chunk, limit - frames, kBlockFrames - blockFrames}));
    uint8_t* cursor = reinterpret_cast<uint8_t*>(block.data() + blockFrames * 2);
    player.Render(&mixer, cursor, chunk, nullptr, 1);
    frames += chunk;
    blockFrames += chunk;
    if (blockFrames == kBlockFrames) {
      out.pcm.insert(out.pcm.end(), block.begin(), block.end());
      blockFrames = 0;
    }
  }
  out.pcm.insert(out.pcm.end(), block.begin(), block.begin() + blockFrames * 2);
  out.songEnded = player.songEnded != 0;
  return false;
}

namespace {

void Put32(std::FILE* f, uint32_t v) {
  const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  std::fwrite(b, 1, 4, f);
}

void Put16(std::FILE* f, uint16_t v) {
  const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
  std::fwrite(b, 1, 2, f);
}

}  // namespace

bool WriteWav(const char* path, const std::vector<int16_t>& pcm, int rate) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return true;
  const uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
  std::fwrite("RIFF", 1, 4, f);
  Put32(f, 36 + dataBytes);
  std::fwrite("WAVEfmt ", 1, 8, f);
  Put32(f, 16);
  Put16(f, 1);  // PCM
  Put16(f, 2);
  Put32(f, static_cast<uint32_t>(rate));
  Put32(f, static_cast<uint32_t>(rate) * 4);
  Put16(f, 4);
  Put16(f, 16);
  std::fwrite("data", 1, 4, f);
  Put32(f, dataBytes);
  // One write for the whole body: a call per sample cost more than rendering the song.
  std::vector<uint8_t> body(dataBytes);
  for (size_t i = 0; i < pcm.size(); i++) {
    const uint16_t v = static_cast<uint16_t>(pcm[i]);
    body[2 * i] = uint8_t(v);
    body[2 * i + 1] = uint8_t(v >> 8);
  }
  std::fwrite(body.data(), 1, body.size(), f);
  const bool failed = std::ferror(f) != 0;
  return std::fclose(f) != 0 || failed;
}

}  // namespace xmrender
