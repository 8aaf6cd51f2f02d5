#include "XmWriter.h"

#include <algorithm>
#include <cstring>

namespace xmw {
namespace {

class Bytes {
 public:
  void u8(unsigned v) { data.push_back(static_cast<uint8_t>(v)); }
  void u16(unsigned v) { u8(v & 0xFF); u8((v >> 8) & 0xFF); }
  void u32(uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
  void text(const std::string& s, size_t width, char pad = 0) {
    for (size_t i = 0; i < width; i++) u8(i < s.size() ? static_cast<uint8_t>(s[i]) : pad);
  }
  void zeros(size_t n) { data.insert(data.end(), n, 0); }
  std::vector<uint8_t> data;
};

// Packs one cell the way trackers do: a mask byte unless all five fields are present.
void PackCell(Bytes& out, const Cell& c) {
  const uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.param};
  unsigned mask = 0;
  for (int i = 0; i < 5; i++) if (fields[i]) mask |= 1u << i;
  if (mask == 0x1F) {
    for (uint8_t f : fields) out.u8(f);
    return;
  }
  out.u8(0x80 | mask);
  for (int i = 0; i < 5; i++) if (fields[i]) out.u8(fields[i]);
}

void WritePattern(Bytes& out, const Pattern& p, int channels) {
  Bytes packed;
  bool empty = true;
  for (int i = 0; i < p.rows * channels; i++) {
    Cell c = i < static_cast<int>(p.cells.size()) ? p.cells[i] : Cell{};
    empty = empty && !c.note && !c.instrument && !c.volume && !c.effect && !c.param;
    PackCell(packed, c);
  }
  if (empty) packed.data.clear();  // an all-empty pattern is stored with packed size 0
  out.u32(9);
  out.u8(0);
  out.u16(p.rows);
  out.u16(packed.data.size());
  out.data.insert(out.data.end(), packed.data.begin(), packed.data.end());
}

void WriteEnvelopePoints(Bytes& out, const Envelope& e) {
  for (size_t i = 0; i < 12; i++) {
    EnvelopePoint pt = i < e.points.size() ? e.points[i] : EnvelopePoint{};
    out.u16(pt.tick);
    out.u16(pt.value);
  }
}

void WriteSampleData(Bytes& out, const Sample& s) {
  int previous = 0;
  for (int16_t v : s.pcm) {
    if (s.sixteenBit) {
      out.u16(static_cast<uint16_t>(v - previous));
    } else {
      out.u8(static_cast<uint8_t>(v - previous));
    }
    previous = v;
  }
}

void WriteInstrument(Bytes& out, const Instrument& ins) {
  const bool hasSamples = !ins.samples.empty();
  out.u32(hasSamples ? 263 : 29);
  out.text(ins.name, 22);
  out.u8(0);
  out.u16(ins.samples.size());
  if (hasSamples) {
    out.u32(40);
    for (uint8_t k : ins.keymap) out.u8(k);
    WriteEnvelopePoints(out, ins.volumeEnvelope);
    WriteEnvelopePoints(out, ins.panningEnvelope);
    out.u8(ins.volumeEnvelope.points.size());
    out.u8(ins.panningEnvelope.points.size());
    out.u8(ins.volumeEnvelope.sustain);
    out.u8(ins.volumeEnvelope.loopStart);
    out.u8(ins.volumeEnvelope.loopEnd);
    out.u8(ins.panningEnvelope.sustain);
    out.u8(ins.panningEnvelope.loopStart);
    out.u8(ins.panningEnvelope.loopEnd);
    out.u8(ins.volumeEnvelope.type);
    out.u8(ins.panningEnvelope.type);
    out.u8(ins.vibratoType);
    out.u8(ins.vibratoSweep);
    out.u8(ins.vibratoDepth);
    out.u8(ins.vibratoRate);
    out.u16(ins.fadeout);
    out.zeros(22);  // reserved, up to the declared header size of 263
  }
  for (const Sample& s : ins.samples) {
    const uint32_t frameBytes = s.sixteenBit ? 2 : 1;
    out.u32(s.pcm.size() * frameBytes);
    out.u32(s.loopStart * frameBytes);
    out.u32(s.loopLength * frameBytes);
    out.u8(s.volume);
    out.u8(static_cast<uint8_t>(s.finetune));
    out.u8((s.loopType & 3) | (s.sixteenBit ? 0x10 : 0));
    out.u8(s.panning);
    out.u8(static_cast<uint8_t>(s.relativeNote));
    out.u8(0);
    out.text(s.name, 22);
  }
  for (const Sample& s : ins.samples) WriteSampleData(out, s);
}

}  // namespace

std::vector<uint8_t> WriteXm(const Song& song) {
  Bytes out;
  out.text("Extended Module: ", 17);
  out.text(song.name, 20);
  out.u8(0x1A);
  out.text(song.trackerName, 20);
  out.u16(song.version);
  out.u32(276);
  out.u16(song.orders.size());
  out.u16(song.restartPosition);
  out.u16(song.channels);
  out.u16(song.patterns.size());
  out.u16(song.instruments.size());
  out.u16(song.linearFrequencies ? 1 : 0);
  out.u16(song.speed);
  out.u16(song.bpm);
  for (size_t i = 0; i < 256; i++) out.u8(i < song.orders.size() ? song.orders[i] : 0);
  for (const Pattern& p : song.patterns) WritePattern(out, p, song.channels);
  for (const Instrument& ins : song.instruments) WriteInstrument(out, ins);
  return out.data;
}

}  // namespace xmw
