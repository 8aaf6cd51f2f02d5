// Loads arbitrary bytes as an XM image, checks that everything the loader built stays inside
// its allocations, and plays every loaded sample through the mixer for a short block.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "audio/Mixer.h"
#include "player/Xmplayer.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void CheckSample(const SampleRecord& s) {
  if (!s.data) {
    Check(s.valid == 0);
    return;
  }
  const uint8_t* limit = s.data + s.length;
  Check(s.length > 0 && s.length % s.bytesPerFrame == 0);
  Check(s.loopStart >= s.data && s.loopStart <= s.loopEnd && s.loopEnd <= limit);
  Check(s.end >= s.data && s.end <= limit);
  Check(s.loopType == 0 || s.loopStart < s.loopEnd);
  Check(s.volume >= 0 && s.volume <= 64);
  // Touch the whole buffer, padding included.
  volatile uint8_t sum = 0;
  for (int i = 0; i < s.length + 3 * s.bytesPerFrame; i++) sum = sum + s.data[i];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static XMMusicPlayer* player = new XMMusicPlayer;
  SongInfo* info = nullptr;
  const bool failed = player->LoadMemory(data, static_cast<int>(size), &info);
  if (failed) {
    Check(info == nullptr && player->songLength == 0 && player->patternBlock == nullptr);
    return 0;
  }
  Check(player->channelCount >= 1 && player->channelCount <= 32);
  if (info) {
    Check(info->blockSize > 0 && info->songLength == player->songLength);
    for (int i = 0; i < info->songLength; i++) Check(info->orderRows[i] == player->orderRows[i]);
    for (int i = 0; i < info->instrumentCount; i++) Check(info->instruments[i].name[22] == 0);
    for (int i = 0; i < info->sampleCount; i++) Check(info->samples[i].name[22] == 0);
    std::free(info);
  }
  // Every order position's pattern lies inside the pattern block.
  volatile uint8_t sum = 0;
  for (int p = 0; p < 256; p++) {
    Check(player->orderRows[p] >= 1);
    const PatternCell* last =
        player->orderData[p] + player->orderRows[p] * player->channelCount - 1;
    sum = sum + player->orderData[p]->note + last->param;
  }

  SoftwareMixer mixer(2);
  mixer.setMode(MixModeStereoInterpolated);
  std::vector<int16_t> out(2 * 300);
  for (InstrumentRecord* ins : player->instruments) {
    if (!ins) continue;
    Check(ins->volumePoints <= 12 && ins->panningPoints <= 12);
    Check(ins->volumeSustain < 12 && ins->volumeLoopStart < 12 && ins->volumeLoopEnd < 12);
    for (int i = 0; i < ins->sampleCount; i++) {
      const SampleRecord& s = ins->samples[i];
      CheckSample(s);
      if (!s.valid) continue;
      MixerVoice& v = mixer.voices[0];
      v = MixerVoice{};
      v.playMode = s.format;
      v.leftGain = v.rightGain = 0x7fffffff;
      v.step = 0x1C000 + i * 0x3100;
      v.position = v.sampleStart = s.data;
      v.loopStart = s.loopStart;
      v.loopEnd = s.loopEnd;
      v.sampleEnd = s.end;
      v.loopType = s.loopType;
      uint8_t* cursor = reinterpret_cast<uint8_t*>(out.data());
      mixer.mix(cursor, 300, 1);
    }
  }
  player->Unload();
  return 0;
}
