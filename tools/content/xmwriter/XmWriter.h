// Writes XM images (format 0x0104) from a plain description: used by the song's authoring
// program and by the tests that need hand-made songs.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace xmw {

struct Cell {
  uint8_t note = 0;        // 0 none, 1..96 C-0..B-7, 97 key-off
  uint8_t instrument = 0;  // 0 none, else 1-based
  uint8_t volume = 0;      // volume-column byte
  uint8_t effect = 0;
  uint8_t param = 0;
};

struct Pattern {
  int rows = 64;
  std::vector<Cell> cells;  // rows x channels, row-major; resized to fit by WriteXm
};

struct EnvelopePoint {
  uint16_t tick = 0;
  uint16_t value = 0;
};

struct Envelope {
  std::vector<EnvelopePoint> points;  // at most 12
  uint8_t sustain = 0, loopStart = 0, loopEnd = 0;
  uint8_t type = 0;  // bit 0 on, bit 1 sustain, bit 2 loop
};

struct Sample {
  std::string name;
  bool sixteenBit = false;
  std::vector<int16_t> pcm;  // frames; 8-bit samples keep values in -128..127
  uint32_t loopStart = 0;    // in frames
  uint32_t loopLength = 0;   // in frames
  uint8_t loopType = 0;      // 0 none, 1 forward, 2 ping-pong
  uint8_t volume = 64;
  int8_t finetune = 0;
  uint8_t panning = 128;
  int8_t relativeNote = 0;
};

struct Instrument {
  std::string name;
  std::array<uint8_t, 96> keymap{};  // sample index per note
  Envelope volumeEnvelope, panningEnvelope;
  uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  uint16_t fadeout = 0;
  std::vector<Sample> samples;
};

struct Song {
  std::string name;
  std::string trackerName = "Vemora content";
  uint16_t version = 0x0104;
  int channels = 32;
  int restartPosition = 0;
  bool linearFrequencies = true;
  int speed = 6;
  int bpm = 125;
  std::vector<uint8_t> orders;
  std::vector<Pattern> patterns;
  std::vector<Instrument> instruments;
};

// The whole file: header, packed patterns, instruments with delta-encoded sample data.
std::vector<uint8_t> WriteXm(const Song& song);

}  // namespace xmw
