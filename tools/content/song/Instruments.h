// The song's 32 instruments, synthesised from scratch. Numbers are the pattern's 1-based ones.
#pragma once
#include <vector>

#include "XmWriter.h"

namespace song {

enum Ins {
  Kick = 1, Snare, Clap, HatClosed, HatOpen, Ride, Tom, Crash,
  Bass, Acid, Sub, Pad, Strings, Choir, Pluck, Bell,
  LeadSaw, LeadSoft, Stab, Organ, EPiano, Mallet, Riser, Downer,
  Drop, Zap, Wind, RevCymbal, Shaker, Arp, Glass, Impact,
  InstrumentCount = Impact
};

std::vector<xmw::Instrument> BuildInstruments();

}  // namespace song
