// Small songs for the replay tests and a player that is stepped one tick at a time.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "XmWriter.h"
#include "audio/Mixer.h"
#include "player/Modinfo.h"
#include "player/Xmplayer.h"

namespace replaytest {

// A looping 8-bit ramp, long enough that a voice runs for many ticks between restarts.
inline xmw::Sample LoopSample(int length = 4000, int16_t offset = 0) {
  xmw::Sample s;
  for (int i = 0; i < length; i++) s.pcm.push_back(static_cast<int16_t>((i % 200) - 100 + offset) / 2);
  s.loopType = 1;
  s.loopStart = 0;
  s.loopLength = static_cast<uint32_t>(length);
  return s;
}

inline xmw::Instrument Instrument(std::vector<xmw::Sample> samples = {LoopSample()}) {
  xmw::Instrument ins;
  ins.name = "test";
  ins.samples = std::move(samples);
  return ins;
}

// One pattern per order entry (or as many as asked), each `rows` rows of `channels` channels.
struct SongBuilder {
  xmw::Song song;
  SongBuilder(int channels = 2, int rows = 16, int speed = 6, int bpm = 125, int patterns = 1) {
    song.name = "replay test";
    song.channels = channels;
    song.speed = speed;
    song.bpm = bpm;
    for (int p = 0; p < patterns; p++) {
      xmw::Pattern pat;
      pat.rows = rows;
      pat.cells.resize(static_cast<size_t>(rows * channels));
      song.patterns.push_back(pat);
      song.orders.push_back(static_cast<uint8_t>(p));
    }
    song.instruments.push_back(Instrument());
  }
  xmw::Cell& At(int row, int channel, int pattern = 0) {
    return song.patterns[pattern].cells[static_cast<size_t>(row * song.channels + channel)];
  }
};

inline xmw::Cell Note(int note, int instrument = 1, int volume = 0, int effect = 0, int param = 0) {
  return xmw::Cell{static_cast<uint8_t>(note), static_cast<uint8_t>(instrument),
                   static_cast<uint8_t>(volume), static_cast<uint8_t>(effect),
                   static_cast<uint8_t>(param)};
}

inline xmw::Cell Fx(int effect, int param, int volume = 0) { return Note(0, 0, volume, effect, param); }

// A loaded player with its mixer; Tick() runs exactly one tick and mixes its first frame, so
// the state seen afterwards is the one that tick left.
class Harness {
 public:
  explicit Harness(const xmw::Song& song, int rate = 44100) : image_(xmw::WriteXm(song)) {
    loaded_ = !player.LoadMemory(image_.data(), static_cast<int>(image_.size()), nullptr);
    player.SetMixRate(rate);
    mixer = std::make_unique<SoftwareMixer>(player.channelCount);
    mixer->setMode(MixModeStereoInterpolated);
  }
  bool loaded() const { return loaded_; }

  void Render(int frames, PlayerInfo* info = nullptr) {
    pcm.assign(static_cast<size_t>(frames) * 2 + 2, 0);
    uint8_t* cursor = reinterpret_cast<uint8_t*>(pcm.data());
    player.Render(mixer.get(), cursor, frames, info, 1);
  }
  void Tick() {
    if (player.samplesLeft > 0) Render(player.samplesLeft);
    Render(1);
  }
  void Ticks(int n) {
    for (int i = 0; i < n; i++) Tick();
  }
  // (order, row) of every row begun during the next n ticks.
  std::vector<std::pair<int, int>> RowsOver(int ticks) {
    std::vector<std::pair<int, int>> rows;
    for (int i = 0; i < ticks; i++) {
      if (player.tick == 0 && player.patternDelay == -1) rows.emplace_back(player.order, player.row);
      Tick();
    }
    return rows;
  }
  MixerVoice& voice(int i) { return mixer->voices[i]; }
  ChannelState& channel(int i) { return player.channels[i]; }
  const SampleRecord& sample(int instrument = 0, int index = 0) {
    return player.instruments[instrument]->samples[index];
  }
  // Frames the voice has moved into its sample since the sample's start.
  long Offset(int i) { return static_cast<long>(voice(i).position - voice(i).sampleStart); }

  XMMusicPlayer player;
  std::unique_ptr<SoftwareMixer> mixer;
  std::vector<int16_t> pcm;

 private:
  std::vector<uint8_t> image_;
  bool loaded_ = false;
};

}  // namespace replaytest
