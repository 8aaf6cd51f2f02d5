#include "Notation.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace song {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& token) {
  std::fprintf(stderr, "makesong: %s in \"%s\"\n", what.c_str(), token.c_str());
  std::exit(2);
}

int Hex(char c, const std::string& token) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  Fail("bad hex digit", token);
}

// Tracker effect letters: 0-9 then A-Z for 10-35.
int EffectNumber(char c, const std::string& token) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  Fail("bad effect letter", token);
}

void Merge(uint8_t& field, int value, const std::string& token) {
  if (value == 0) return;
  if (field != 0 && field != value) Fail("clash with another part", token);
  field = static_cast<uint8_t>(value);
}

}  // namespace

int NoteNumber(const std::string& s) {
  static const char* names = "C-C#D-D#E-F-F#G-G#A-A#B-";
  if (s.size() != 3 || s[2] < '0' || s[2] > '7') Fail("bad note", s);
  for (int i = 0; i < 12; i++)
    if (s[0] == names[2 * i] && s[1] == names[2 * i + 1]) return (s[2] - '0') * 12 + i + 1;
  Fail("bad note", s);
}

std::string Rep(const std::string& text, int n) {
  std::string out;
  for (int i = 0; i < n; i++) out += (i ? " " : "") + text;
  return out;
}

void Place(xmw::Pattern& p, int channels, const Part& part, int start) {
  p.cells.resize(static_cast<size_t>(p.rows) * channels);
  std::istringstream in(part.text);
  std::string token;
  int row = start;
  while (in >> token) {
    if (token == "|") continue;
    if (row >= p.rows) Fail("past the pattern's last row", token);
    xmw::Cell c;
    std::vector<std::string> pieces;
    std::stringstream split(token);
    for (std::string piece; std::getline(split, piece, '/');) pieces.push_back(piece);
    if (pieces.empty()) Fail("empty token", token);
    std::string note = pieces[0];
    bool withInstrument = true;
    if (!note.empty() && note[0] == '~') { withInstrument = false; note.erase(0, 1); }
    if (note == "." || note == "-") {
      withInstrument = false;
    } else if (note == "==") {
      c.note = 97;
      withInstrument = false;
    } else if (note == "x") {
      c.note = static_cast<uint8_t>(part.note);
    } else {
      c.note = static_cast<uint8_t>(NoteNumber(note));
    }
    if (withInstrument) c.instrument = static_cast<uint8_t>(part.instrument);
    for (size_t i = 1; i < pieces.size(); i++) {
      const std::string& q = pieces[i];
      if (q.size() >= 2 && q[0] == 'v') {
        const int v = std::atoi(q.c_str() + 1);
        if (v < 0 || v > 64) Fail("volume out of range", token);
        c.volume = static_cast<uint8_t>(0x10 + v);
      } else if (q.size() == 3 && q[0] == '%') {
        static const std::string kinds = "-+dusvplrm";
        const size_t k = kinds.find(q[1]);
        if (k == std::string::npos) Fail("bad volume command", token);
        c.volume = static_cast<uint8_t>(((6 + k) << 4) | Hex(q[2], token));
      } else if (q.size() == 3) {
        c.effect = static_cast<uint8_t>(EffectNumber(q[0], token));
        c.param = static_cast<uint8_t>(Hex(q[1], token) << 4 | Hex(q[2], token));
        if (c.effect == 0) Fail("arpeggio is not played", token);
      } else {
        Fail("unknown part", token);
      }
    }
    xmw::Cell& dst = p.cells[static_cast<size_t>(row) * channels + part.channel];
    Merge(dst.note, c.note, token);
    Merge(dst.instrument, c.instrument, token);
    Merge(dst.volume, c.volume, token);
    if (c.effect || c.param) {
      if ((dst.effect || dst.param) && (dst.effect != c.effect || dst.param != c.param))
        Fail("clash with another part", token);
      dst.effect = c.effect;
      dst.param = c.param;
    }
    row++;
  }
}

}  // namespace song
