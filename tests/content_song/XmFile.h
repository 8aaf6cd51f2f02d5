// A small, independent reader of XM images for checking the song: it keeps what the checks
// need and does its own walk through the order list.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace songtest {

struct Cell {
  uint8_t note = 0, instrument = 0, volume = 0, effect = 0, param = 0;
};

struct Sample {
  uint32_t length = 0, loopStart = 0, loopLength = 0;  // bytes, as stored
  uint8_t volume = 0, type = 0, panning = 0;
  int8_t finetune = 0, relativeNote = 0;
  bool sixteenBit() const { return type & 0x10; }
  int loopType() const { return type & 3; }
};

struct Envelope {
  std::vector<std::pair<int, int>> points;  // tick, value (only the used ones)
  int count = 0, sustain = 0, loopStart = 0, loopEnd = 0, type = 0;
};

struct Instrument {
  std::vector<uint8_t> keymap;
  Envelope volume, panning;
  int vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0, fadeout = 0;
  std::vector<Sample> samples;
};

struct Pattern {
  int rows = 0;
  std::vector<Cell> cells;  // rows x channels
};

struct Song {
  uint16_t version = 0;
  int songLength = 0, restart = 0, channels = 0, flags = 0, speed = 0, bpm = 0;
  std::vector<uint8_t> orders;  // all 256
  std::vector<Pattern> patterns;
  std::vector<Instrument> instruments;
  size_t sampleBytes = 0;
};

// Returns false (with a reason) when the image is cut short or malformed.
bool ReadXm(const std::vector<uint8_t>& image, Song& song, std::string& error);

std::vector<uint8_t> ReadFile(const std::string& path);

// One row as the replay engine walks it: where and when it starts.
struct RowVisit {
  int order, row;
  double seconds;  // since the song started
  int ticks;       // since the song started
};

// Walks the order list from (0, 0) row by row, honouring speed and tempo changes, breaks,
// jumps, pattern loops and pattern delays, until the song wraps or jumps backwards (the
// visit that lands there is included and flagged by `wrapped`).
struct Walk {
  std::vector<RowVisit> rows;
  bool wrapped = false;
};
Walk WalkSong(const Song& song, int maxRows = 100000);

}  // namespace songtest
