#include "XmFile.h"

#include <fstream>
#include <iterator>

namespace songtest {
namespace {

struct Reader {
  const std::vector<uint8_t>& d;
  bool ok(size_t at, size_t n) const { return at <= d.size() && n <= d.size() - at; }
  unsigned u8(size_t at) const { return d[at]; }
  unsigned u16(size_t at) const { return d[at] | d[at + 1] << 8; }
  uint32_t u32(size_t at) const { return u16(at) | static_cast<uint32_t>(u16(at + 2)) << 16; }
};

Envelope ReadEnvelope(const Reader& r, size_t points, size_t tail) {
  Envelope e;
  e.count = r.u8(tail);
  for (int i = 0; i < e.count && i < 12; i++)
    e.points.push_back({static_cast<int>(r.u16(points + 4 * i)), static_cast<int>(r.u16(points + 4 * i + 2))});
  return e;
}

}  // namespace

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool ReadXm(const std::vector<uint8_t>& image, Song& s, std::string& error) {
  const Reader r{image};
  if (!r.ok(0, 336)) return error = "header cut short", false;
  s.version = r.u16(58);
  s.songLength = r.u16(64);
  s.restart = r.u16(66);
  s.channels = r.u16(68);
  const int patterns = r.u16(70), instruments = r.u16(72);
  s.flags = r.u16(74);
  s.speed = r.u16(76);
  s.bpm = r.u16(78);
  s.orders.assign(image.begin() + 80, image.begin() + 336);
  size_t at = 60 + r.u32(60);
  for (int p = 0; p < patterns; p++) {
    if (!r.ok(at, 9)) return error = "pattern header cut short", false;
    Pattern pat;
    pat.rows = r.u16(at + 5);
    const size_t packed = r.u16(at + 7);
    size_t c = at + r.u32(at);
    const size_t end = c + packed;
    if (!r.ok(c, packed)) return error = "pattern data cut short", false;
    pat.cells.resize(static_cast<size_t>(pat.rows) * s.channels);
    if (packed) {
      for (Cell& cell : pat.cells) {
        uint8_t f[5] = {0, 0, 0, 0, 0};
        if (c >= end) return error = "pattern data ends early", false;
        unsigned mask = 0x1F;
        if (image[c] & 0x80) mask = image[c++] & 0x1F;
        for (int i = 0; i < 5; i++) {
          if (!(mask & (1u << i))) continue;
          if (c >= end) return error = "pattern data ends early", false;
          f[i] = image[c++];
        }
        cell = {f[0], f[1], f[2], f[3], f[4]};
      }
      if (c != end) return error = "pattern data longer than its rows", false;
    }
    s.patterns.push_back(std::move(pat));
    at = end;
  }
  for (int i = 0; i < instruments; i++) {
    if (!r.ok(at, 29)) return error = "instrument header cut short", false;
    Instrument ins;
    const size_t size = r.u32(at);
    const int count = r.u16(at + 27);
    if (count == 0) {
      at += size;
      s.instruments.push_back(ins);
      continue;
    }
    if (!r.ok(at, 241)) return error = "instrument header cut short", false;
    const size_t headerSize = r.u32(at + 29);
    ins.keymap.assign(image.begin() + at + 33, image.begin() + at + 129);
    ins.volume = ReadEnvelope(r, at + 129, at + 225);
    ins.panning = ReadEnvelope(r, at + 177, at + 226);
    ins.volume.sustain = r.u8(at + 227);
    ins.volume.loopStart = r.u8(at + 228);
    ins.volume.loopEnd = r.u8(at + 229);
    ins.panning.sustain = r.u8(at + 230);
    ins.panning.loopStart = r.u8(at + 231);
    ins.panning.loopEnd = r.u8(at + 232);
    ins.volume.type = r.u8(at + 233);
    ins.panning.type = r.u8(at + 234);
    ins.vibratoType = r.u8(at + 235);
    ins.vibratoSweep = r.u8(at + 236);
    ins.vibratoDepth = r.u8(at + 237);
    ins.vibratoRate = r.u8(at + 238);
    ins.fadeout = r.u16(at + 239);
    at += size;
    for (int k = 0; k < count; k++) {
      if (!r.ok(at, 40)) return error = "sample header cut short", false;
      Sample smp;
      smp.length = r.u32(at);
      smp.loopStart = r.u32(at + 4);
      smp.loopLength = r.u32(at + 8);
      smp.volume = r.u8(at + 12);
      smp.finetune = static_cast<int8_t>(r.u8(at + 13));
      smp.type = r.u8(at + 14);
      smp.panning = r.u8(at + 15);
      smp.relativeNote = static_cast<int8_t>(r.u8(at + 16));
      ins.samples.push_back(smp);
      at += headerSize;
    }
    for (const Sample& smp : ins.samples) {
      if (!r.ok(at, smp.length)) return error = "sample data cut short", false;
      at += smp.length;
      s.sampleBytes += smp.length;
    }
    s.instruments.push_back(std::move(ins));
  }
  if (at != image.size()) return error = "bytes left after the last sample", false;
  return true;
}

Walk WalkSong(const Song& s, int maxRows) {
  Walk w;
  int order = 0, row = 0, speed = s.speed, bpm = s.bpm, ticks = 0;
  double seconds = 0;
  int loopStartRow = 0, loopCount = -1;
  auto patternAt = [&](int o) -> const Pattern& {
    const int p = s.orders[o];
    return p < static_cast<int>(s.patterns.size()) ? s.patterns[p] : s.patterns[0];
  };
  while (static_cast<int>(w.rows.size()) < maxRows) {
    w.rows.push_back({order, row, seconds, ticks});
    const Pattern& pat = patternAt(order);
    int nextOrder = order + 1, breakRow = 0, delay = 0;
    bool breakPending = false, loopJump = false;
    for (int c = 0; c < s.channels; c++) {
      const Cell& cell = pat.cells[static_cast<size_t>(row) * s.channels + c];
      const int x = cell.param >> 4, y = cell.param & 15;
      switch (cell.effect) {
        case 0x0B: nextOrder = cell.param % s.songLength; breakPending = true; break;
        case 0x0D: breakRow = cell.param; breakPending = true; break;  // binary, not decimal digits
        case 0x0F:
          if (cell.param > 31) bpm = cell.param;
          else speed = cell.param;
          break;
        case 0x0E:
          if (x == 6) {
            if (y == 0) {
              loopStartRow = row;
            } else {
              if (loopCount == -1) loopCount = y;
              if (loopCount < 1) loopStartRow = row + 1;
              else loopJump = true;
              loopCount--;
            }
          } else if (x == 0xE && delay == 0) {
            delay = y;
          }
          break;
        default: break;
      }
    }
    const int rowTicks = speed * (delay + 1);
    ticks += rowTicks;
    seconds += rowTicks * 2.5 / bpm;
    if (loopJump) {
      row = loopStartRow;
      continue;
    }
    row++;
    if (row >= pat.rows || breakPending) {
      if (nextOrder < order) w.wrapped = true;
      order = nextOrder;
      if (order >= s.songLength) {
        order = s.restart < s.songLength ? s.restart : 0;
        w.wrapped = true;
      }
      row = breakRow;
      loopStartRow = 0;
      loopCount = -1;
      if (w.wrapped) {
        w.rows.push_back({order, row, seconds, ticks});
        break;
      }
    }
  }
  return w;
}

}  // namespace songtest
