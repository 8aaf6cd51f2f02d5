// Tracker-style text for one channel of a pattern, one token per row.
//
//   .          empty row                    |        bar line, ignored
//   C-4  C#4   note (octave 0..7)           ==       key-off
//   x          the track's own note (drums)  -        no note, only commands
//   ~C-4       note without instrument number (keeps volume, envelopes; tone portamento)
// then, joined with '/', any of:
//   v40        volume column: set volume, decimal 0..64
//   %-3 %+3    volume column: slide down / up by 3 every tick after the first
//   %d3 %u3    volume column: fine slide down / up once
//   %s4 %v4    volume column: vibrato speed / vibrato depth
//   %p8 %l2 %r2  volume column: set panning (x17), slide left / right
//   %m6        volume column: tone portamento
//   A0F 4A4 E93 ...  effect letter and two hex digits, as a tracker shows it
//
// Example: "C-4/v48 . . . ~E-4/305 . . . ==".
#pragma once
#include <string>

#include "XmWriter.h"

namespace song {

struct Part {
  int channel;
  int instrument;      // 1-based; 0 = none
  std::string text;
  int note = 49;       // what "x" stands for
};

// Writes the tokens into the pattern from row `start`; fields meet only where they are empty.
// Stops the program with a message on malformed text or a clash.
void Place(xmw::Pattern& p, int channels, const Part& part, int start = 0);

// Text repeated n times, blank-separated.
std::string Rep(const std::string& text, int n);

// "C-4" -> 49.
int NoteNumber(const std::string& name);

}  // namespace song
