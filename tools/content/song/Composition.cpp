// The song, written as a musician would read it: one function per pattern, one line of
// tracker text per part and bar (16 rows = one 4/4 bar, four rows a beat; see Notation.h).
//
// Key: A minor. Speed 5 at 130 BPM (a row is 1/4 beat, about 156 beats a minute), four bars
// a pattern. Each section starts where the show cuts to its next picture.
//
//  order  pattern  section                               show
//   0- 1   0  1    dawn: pads, bells, then plucks         opening presentation
//   2      2       build: beat and bass come in           title reveal
//   3      3       teaser; at row 32 the break and riser  title done -> closing bars
//   4- 5   4  5    the theme, full band                   star field
//   6- 7   6  7    second theme, strings and soft lead    rotozoom
//   8- 9   8  8    acid bass, gated pads                  rotozoom trail
//  10      9       half-time, heavy                       heat flow
//  11     10       build on the dominant                  heat flow in bands
//  12-13  11 12    water: drums out, 120 BPM              water disc
//  14     13       groove back: organ and rolling bass    sea flow
//  15     14       slower (speed 6), nostalgic            "Souvenirs..."
//  16-18  15 4 5   the theme again, with choir            greetings
//  19     16       climax; row 48 stops the band          credits begin
//  20-23  13 6 7 14  credits; the song goes on from 20
#include "Composition.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "Instruments.h"
#include "Notation.h"

namespace song {
namespace {

constexpr int kChannels = 32;

// Channel plan, kept the same throughout so that a part always lives in one place.
enum Channel {
  cKick, cSnare, cClap, cHat, cOpenHat, cRide, cPerc, cCrash,
  cBass, cSub, cPad1, cPad2, cPad3, cChord1, cChord2, cChord3,
  cLead, cLeadEcho, cBell, cBellEcho, cArp, cArpEcho, cAcid, cStab,
  cGlass, cWind, cRiser, cFx, cDrop, cZap, cControl2, cControl
};

std::vector<std::string> Tokens(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string t; in >> t;)
    if (t != "|") out.push_back(t);
  return out;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : " ") + p;
  return out;
}

// One bar: exactly 16 rows, or the program stops (a miscounted bar would shift the rest).
std::string B(const std::string& text) {
  if (Tokens(text).size() != 16) {
    std::fprintf(stderr, "makesong: bar of %zu rows: %s\n", Tokens(text).size(), text.c_str());
    std::exit(2);
  }
  return text;
}

std::string Dots(int n) { return Join(std::vector<std::string>(n, ".")); }

// A note held for `rows` rows.
std::string Hold(const std::string& token, int rows) { return rows > 1 ? token + " " + Dots(rows - 1) : token; }

// Replaces the "x" of a rhythm with a note: Fill(". . x .", "A-2") -> ". . A-2 .".
std::string Fill(const std::string& rhythm, const std::string& note) {
  std::vector<std::string> t = Tokens(rhythm);
  for (std::string& s : t)
    if (s[0] == 'x') s = note + s.substr(1);
  return Join(t);
}

bool IsNote(const std::string& t) {
  const size_t i = t[0] == '~' ? 1 : 0;
  return t.size() >= i + 3 && t[i] >= 'A' && t[i] <= 'G' && (t[i + 1] == '-' || t[i + 1] == '#');
}

std::string NoteName(int n) {
  static const char* names[12] = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
  return std::string(names[(n - 1) % 12]) + static_cast<char>('0' + (n - 1) / 12);
}

// Every note of the text moved by `semitones`.
std::string Transpose(const std::string& text, int semitones) {
  std::vector<std::string> t = Tokens(text);
  for (std::string& s : t) {
    if (!IsNote(s)) continue;
    const size_t i = s[0] == '~' ? 1 : 0;
    s = s.substr(0, i) + NoteName(NoteNumber(s.substr(i, 3)) + semitones) + s.substr(i + 3);
  }
  return Join(t);
}

// The tracker echo: the same notes `delay` rows later on another channel, with their own
// volume and panning (`parts`) and none of the original's commands.
std::string Echo(const std::string& text, int delay, const std::string& parts) {
  std::vector<std::string> t = Tokens(text);
  std::vector<std::string> out(delay, ".");
  for (size_t i = 0; i + delay < t.size(); i++) {
    const std::string& s = t[i];
    if (IsNote(s)) {
      const std::string note = s.substr(0, s.find('/'));
      out.push_back(note + "/" + parts);
    } else if (s == "==") {
      out.push_back("==");
    } else {
      out.push_back(".");
    }
  }
  // A release that would fall past the pattern's end comes on its last row instead, or the
  // echo would ring on into the next section.
  for (size_t i = t.size() - delay; i < t.size(); i++)
    if (t[i] == "==" && out.back() == ".") out.back() = "==";
  return Join(out);
}

// One voice of a chord sequence: the i-th note of each chord, one chord every `rows` rows.
std::string Voice(const std::vector<std::string>& chords, size_t i, const std::string& parts, int rows = 16) {
  std::vector<std::string> out;
  for (const std::string& c : chords) {
    const std::vector<std::string> notes = Tokens(c);
    out.push_back(Hold(notes.at(i) + (parts.empty() ? "" : "/" + parts), rows));
  }
  return Join(out);
}

// Sixteenth notes running through four chord tones, accented on the beat.
std::string Arpeggio(const std::string& tones, const std::string& loud, const std::string& soft,
                     const std::string& effect = "") {
  const std::vector<std::string> n = Tokens(tones);
  std::vector<std::string> out;
  for (int r = 0; r < 16; r++) {
    std::string t = n[r % n.size()] + "/" + (r % 4 == 0 ? loud : soft);
    if (!effect.empty()) t += "/" + effect;
    out.push_back(t);
  }
  return Join(out);
}

class Pat {
 public:
  explicit Pat(int rows = 64) {
    p_.rows = rows;
    p_.cells.resize(static_cast<size_t>(rows) * kChannels);
  }
  Pat& Put(int channel, int instrument, const std::string& text, int start = 0, int note = 49) {
    Place(p_, kChannels, Part{channel, instrument, text, note}, start);
    return *this;
  }
  // Key-off on row 0 for parts of the previous section that would otherwise ring on.
  Pat& Release(std::initializer_list<int> channels) {
    for (int c : channels) Put(c, 0, "==");
    return *this;
  }
  xmw::Pattern Done() const { return p_; }

 private:
  xmw::Pattern p_;
};

// ---- shared material ---------------------------------------------------------------------

const std::string kFour = B("x . . . x . . . x . . . x . . .");
const std::string kBackbeat = B(". . . . x . . . . . . . x . . .");
const std::string kOffHat = B(". . x/v22 . . . x/v22 . . . x/v22 . . . x/v22 .");
const std::string kHats = B("x/v22 x/v10 . x/v14 x/v22 x/v10 . x/v14 x/v22 x/v10 . x/v14 x/v22 x/v10 x/v12 x/v14");
const std::string kHatRoll = B("x/v22 x/v10 . x/v14 x/v22 x/v10 . x/v14 x/v22 x/v10 . x/v14 x/v20/E92 x/v16/E92 x/v20/E92 x/v24/E92");
const std::string kOffBass = B(". . x . == . x . == . x . == . x .");

// The theme's chords, voiced to move as little as possible.
const std::vector<std::string> kTheme = {"A-3 C-4 E-4", "A-3 C-4 F-4", "G-3 C-4 E-4", "G-3 B-3 D-4"};
const std::vector<std::string> kThemeRoots = {"A-1", "F-1", "C-2", "G-1"};
const std::vector<std::string> kThemeBass = {"A-2", "F-2", "C-3", "G-2"};

std::string BassLine(const std::vector<std::string>& roots, const std::string& rhythm) {
  std::vector<std::string> bars;
  for (const std::string& r : roots) bars.push_back(Fill(rhythm, r));
  return Join(bars);
}

std::string SubLine(const std::vector<std::string>& roots, const std::string& volume) {
  std::vector<std::string> bars;
  for (const std::string& r : roots) bars.push_back(Hold(r + "/" + volume, 16));
  return Join(bars);
}

void ThemePads(Pat& p, const std::vector<std::string>& chords, int instrument, const std::string& parts) {
  p.Put(cPad1, instrument, Voice(chords, 0, parts))
      .Put(cPad2, instrument, Voice(chords, 1, parts))
      .Put(cPad3, instrument, Voice(chords, 2, parts));
}

void FullBeat(Pat& p, const std::string& lastHats) {
  p.Put(cKick, Kick, Rep(kFour, 4))
      .Put(cClap, Clap, Rep(kBackbeat, 4))
      .Put(cSnare, Snare, Rep(B(". . . . x/v40 . . . . . . . x/v40 . . ."), 4))
      .Put(cOpenHat, HatOpen, Rep(kOffHat, 4))
      .Put(cHat, HatClosed, Join({kHats, kHats, kHats, lastHats}));
}

// The theme's melody, two answering halves.
const std::string kThemeA = Join({
    B("A-4/v44 . . . C-5 . E-5 . . . D-5 . C-5 . D-5 ."),
    B("E-5 . . . -/443 -/400 -/400 -/400 C-5 . A-4 . . . C-5 ."),
    B("G-5 . . . E-5 . . . D-5 . C-5 . . . D-5 ."),
    B("D-5 . . . -/443 -/400 -/400 -/400 B-4 . . . G-4 . == ."),
});
const std::string kThemeB = Join({
    B("A-4/v44 . . . C-5 . E-5 . . . A-5 . G-5 . E-5 ."),
    B("F-5 . . . -/443 -/400 E-5 . C-5 . . . A-4 . C-5 ."),
    B("E-5 . . . G-5 . . . C-6 . . . B-5 . G-5 ."),
    B("A-5 . . . -/443 -/400 -/400 -/400 -/400 -/400 -/400 -/400 -/603 -/603 -/603 =="),
});

// ---- patterns ----------------------------------------------------------------------------

// Dawn. Fades in from a quarter of the global volume; pads, wind and a bell tune with its echo.
// Row 0 also sets speed and tempo, because a restarted show comes back here from elsewhere.
xmw::Pattern Dawn() {
  Pat p;
  // 58 of 64 leaves the mix a little headroom; the fade-in climbs there in 12 rows.
  p.Put(cControl, 0, "-/G0A " + Rep("-/H10", 12))
      .Put(cControl2, 0, "-/F05")
      .Put(cZap, 0, "-/F82");
  ThemePads(p, kTheme, Pad, "v30");
  p.Put(cWind, Wind, "C-4/v24 " + Dots(31) + " " + Rep("-/%+1", 8));  // the wind swells halfway
  const std::string bell = Join({
      B("E-5/v40/820 . . . . . . . . . . . B-4 . . ."),
      B("C-5 . . . . . . . A-4 . . . . . . ."),
      B("G-4 . . . . . . . E-5 . . . . . . ."),
      B("D-5 . . . . . . . B-4 . . . G-4 . . ."),
  });
  p.Put(cBell, Bell, bell).Put(cBellEcho, Bell, Echo(bell, 3, "v18/8E0"));
  p.Put(cSub, Sub, Dots(32) + " " + SubLine({"C-2", "G-1"}, "v30"));
  return p.Done();
}

// Dawn, second half: plucked arpeggios with an echo that starts into the sample (9xx) so it
// sounds softer, and a reversed cymbal pulling into the build.
xmw::Pattern DawnPlucks() {
  Pat p;
  ThemePads(p, kTheme, Pad, "v30");
  const std::string pluck = Join({
      B("A-4/v36 . E-5/v24 . C-5/v30 . E-5/v24 . A-5/v34 . E-5/v24 . C-5/v30 . E-5/v24 ."),
      B("A-4/v36 . F-5/v24 . C-5/v30 . F-5/v24 . A-5/v34 . F-5/v24 . C-5/v30 . F-5/v24 ."),
      B("G-4/v36 . E-5/v24 . C-5/v30 . E-5/v24 . G-5/v34 . E-5/v24 . C-5/v30 . E-5/v24 ."),
      B("G-4/v36 . D-5/v24 . B-4/v30 . D-5/v24 . G-5/v34 . D-5/v24 . B-4/v30 . D-5/v24 ."),
  });
  p.Put(cArp, Pluck, pluck).Put(cArpEcho, Pluck, Echo(pluck, 3, "v16/902"));
  const std::string bell = Join({
      B("E-5/v36/820 . . . . . . . . . . . A-5 . . ."),
      B("C-6 . . . . . . . A-5 . . . . . . ."),
      B("G-5 . . . . . . . E-5 . . . D-5 . . ."),
      B("B-4 . . . . . . . . . . . . . . ."),
  });
  p.Put(cBell, Bell, bell).Put(cBellEcho, Bell, Echo(bell, 3, "v16/8E0"));
  p.Put(cSub, Sub, SubLine(kThemeRoots, "v36"));
  p.Put(cCrash, RevCymbal, "C-4/v40", 48);
  return p.Done();
}

// The build: the kick comes in, then bass and hats, claps in the second half and a snare
// roll whose multi-retrig climbs in volume.
xmw::Pattern Build() {
  Pat p;
  ThemePads(p, kTheme, Pad, "v26");
  p.Put(cKick, Kick, Join({B("x/v40 . . . x/v44 . . . x/v48 . . . x/v52 . . ."), kFour, kFour, kFour}));
  p.Put(cBass, Bass, BassLine(kThemeBass, kOffBass));
  p.Put(cSub, Sub, SubLine(kThemeRoots, "v34"));
  p.Put(cHat, HatClosed, Dots(16) + " " + Rep(kHats, 3));
  p.Put(cClap, Clap, Dots(32) + " " + Rep(kBackbeat, 2));
  std::string roll;
  for (int r = 0; r < 16; r++) roll += "x/v" + std::to_string(14 + 2 * r) + "/R2A ";
  p.Put(cSnare, Snare, roll, 48);
  const std::string pluck = Join({
      B("A-4/v30 . E-5/v20 . C-5/v26 . E-5/v20 . A-5/v28 . E-5/v20 . C-5/v26 . E-5/v20 ."),
      B("A-4/v30 . F-5/v20 . C-5/v26 . F-5/v20 . A-5/v28 . F-5/v20 . C-5/v26 . F-5/v20 ."),
      B("G-4/v30 . E-5/v20 . C-5/v26 . E-5/v20 . G-5/v28 . E-5/v20 . C-5/v26 . E-5/v20 ."),
      B("G-4/v30 . D-5/v20 . B-4/v26 . D-5/v20 . G-5/v28 . D-5/v20 . B-4/v26 . D-5/v20 ."),
  });
  p.Put(cArp, Pluck, pluck);
  p.Put(cWind, 0, "==", 48);
  return p.Done();
}

// The teaser: two bars of the theme, then (row 32) everything stops on the dominant: an
// impact, the riser and a snare roll, with the lead's last note sinking away (2xx).
xmw::Pattern Teaser() {
  Pat p;
  const std::vector<std::string> chords = {"A-3 C-4 E-4", "A-3 C-4 F-4", "G#3 B-3 E-4", "G#3 B-3 E-4"};
  p.Put(cPad1, Pad, Voice({"A-3", "A-3", "G#3"}, 0, "v28", 16) + " " + Dots(15));
  p.Put(cPad2, Pad, Voice({"C-4", "C-4", "B-3"}, 0, "v28", 16));
  p.Put(cPad3, Pad, Voice({"E-4", "F-4", "E-4"}, 0, "v28", 16));
  p.Put(cChord1, Strings, "G#3/v10/A20 " + Rep("-/A20", 15) + " " + Rep("-/A00", 8), 32);
  p.Put(cChord2, Strings, "B-3/v10/A20 " + Rep("-/A20", 15), 32);
  p.Put(cChord3, Strings, "E-4/v10/A20 " + Rep("-/A20", 15), 32);
  p.Put(cKick, Kick, Rep(kFour, 2)).Put(cClap, Clap, Rep(kBackbeat, 2));
  p.Put(cHat, HatClosed, Join({kHats, kHatRoll}));
  p.Put(cOpenHat, HatOpen, Rep(kOffHat, 2));
  p.Put(cBass, Bass, BassLine({"A-2", "F-2"}, kOffBass) + " ==");
  p.Put(cSub, Sub, SubLine({"A-1", "F-1"}, "v34") + " ==");
  const std::string lead = Join({
      B("A-4/v40 . . . C-5 . E-5 . . . D-5 . C-5 . D-5 ."),
      B("E-5 . . . -/443 -/400 -/400 -/400 C-5 . A-4 . . . B-4 ."),
      B("E-5/v44 . . . -/453 -/400 -/400 -/400 -/210 -/210 -/210 -/210 -/220 -/220 -/220 =="),
  });
  p.Put(cLead, LeadSaw, lead).Put(cLeadEcho, LeadSaw, Echo(lead, 3, "v20/8C0"));
  p.Put(cCrash, Impact, "C-4/v60", 32);
  p.Put(cFx, Downer, "C-4/v40", 32);
  p.Put(cRiser, Riser, "C-4/v48", 32);
  std::string roll;
  for (int r = 0; r < 16; r++) roll += "x/v" + std::to_string(12 + 2 * r) + "/R1A ";
  p.Put(cSnare, Snare, roll, 48);
  p.Put(cPerc, Tom, "C-4/v40 . . . A-3/v44 . . . F-3/v48 . D-3/v52 . C-3/v56 . .", 48);
  return p.Done();
}

// The theme, full band: crash and impact on the downbeat.
xmw::Pattern ThemeA() {
  Pat p;
  p.Release({cChord1, cChord2, cChord3});
  FullBeat(p, kHatRoll);
  ThemePads(p, kTheme, Pad, "v24");
  p.Put(cBass, Bass, BassLine(kThemeBass, kOffBass));
  p.Put(cSub, Sub, SubLine(kThemeRoots, "v34"));
  p.Put(cLead, LeadSaw, kThemeA).Put(cLeadEcho, LeadSaw, Echo(kThemeA, 3, "v18/8C0"));
  p.Put(cCrash, Crash, "C-4/v48").Put(cFx, Impact, "C-4/v40");
  return p.Done();
}

// The theme's answer, with a panning pulse arpeggio and a tom fill into the next section.
xmw::Pattern ThemeB() {
  Pat p;
  FullBeat(p, kHats);
  p.Put(cHat, 0, ". . . . . . . . . . . . -/EC1 . . .", 48);
  ThemePads(p, kTheme, Pad, "v24");
  p.Put(cBass, Bass, BassLine(kThemeBass, kOffBass));
  p.Put(cSub, Sub, SubLine(kThemeRoots, "v34"));
  p.Put(cLead, LeadSaw, kThemeB).Put(cLeadEcho, LeadSaw, Echo(kThemeB, 3, "v18/8C0"));
  // Panning slides sweep it from the middle to the left, across to the right and back.
  p.Put(cArp, Arp, Join({Arpeggio("A-5 E-5 C-5 E-5", "v26", "v16", "P02"),
                         Arpeggio("A-5 F-5 C-5 F-5", "v26", "v16", "P20"),
                         Arpeggio("G-5 E-5 C-5 E-5", "v26", "v16", "P20"),
                         Arpeggio("G-5 D-5 B-4 D-5", "v26", "v16", "P02")}));
  p.Put(cPerc, Tom, "C-4/v44 . A-3/v46 . F-3/v50 . D-3/v54", 56);
  p.Put(cZap, Zap, "C-5/v36", 60);
  return p.Done();
}

// Second theme: strings glide between chords (tone portamento in the volume column), a soft
// lead with vibrato, a broken beat with flams (note delay) and the ride.
const std::vector<std::string> kSecond = {"A-3 C-4 F-4", "B-3 D-4 G-4", "B-3 E-4 G-4", "A-3 C-4 E-4"};

void SecondStrings(Pat& p, const std::vector<std::string>& chords) {
  for (size_t v = 0; v < 3; v++) {
    std::vector<std::string> bars;
    for (size_t c = 0; c < chords.size(); c++) {
      const std::string note = Tokens(chords[c]).at(v);
      bars.push_back(Hold(c == 0 ? note + "/v30" : "~" + note + "/%m6", 16));
    }
    p.Put(cChord1 + static_cast<int>(v), Strings, Join(bars));
  }
}

const std::string kBroken = B("x . . . . . x . . . x . . . . .");
// Ghost notes pushed late by a tick or three (EDx) give the broken beat its swing.
const std::string kBrokenSnare = B(". . . . x/v46 . . . . . . x/v16/ED2 x/v24 . . x/v20/ED3");

xmw::Pattern SecondA() {
  Pat p;
  p.Release({cPad1, cPad2, cPad3});
  SecondStrings(p, kSecond);
  p.Put(cKick, Kick, Rep(kBroken, 4)).Put(cSnare, Snare, Rep(kBrokenSnare, 4));
  p.Put(cRide, Ride, Rep(B("x/v30 . x/v18 . x/v26 . x/v18 . x/v30 . x/v18 . x/v26 . x/v18 ."), 4));
  p.Put(cBass, Bass, BassLine({"F-2", "G-2", "E-2", "A-2"}, B("x . . x . . x . == . x . . x . .")));
  p.Put(cSub, Sub, SubLine({"F-1", "G-1", "E-1", "A-1"}, "v34"));
  const std::string lead = Join({
      B("C-5/v42 . . . . . A-4 . C-5 . . . F-5 . -/%s6 -/%v4"),
      B("D-5 . . . . . -/%v4 -/%v4 B-4 . D-5 . G-5 . -/%v4 -/%v4"),
      B("E-5 . . . . . G-5 . . . E-5 . B-4 . -/4A3 -/400"),
      B("C-5 . . . -/443 -/400 -/400 -/400 -/400 -/400 -/400 -/400 == . . ."),
  });
  p.Put(cLead, LeadSoft, lead).Put(cLeadEcho, LeadSoft, Echo(lead, 4, "v16/8D0"));
  p.Put(cArp, Pluck, Join({Arpeggio("F-4 A-4 C-5 A-4", "v26", "v16"), Arpeggio("G-4 B-4 D-5 B-4", "v26", "v16"),
                           Arpeggio("E-4 G-4 B-4 G-4", "v26", "v16"), Arpeggio("A-4 C-5 E-5 C-5", "v26", "v16")}));
  p.Put(cCrash, Crash, "C-4/v44").Put(cFx, Downer, "C-4/v30");
  return p.Done();
}

xmw::Pattern SecondB() {
  Pat p;
  const std::vector<std::string> chords = {"A-3 D-4 F-4", "A-3 C-4 E-4", "A-3 C-4 F-4", "G#3 B-3 E-4"};
  SecondStrings(p, chords);
  p.Put(cKick, Kick, Rep(kBroken, 4)).Put(cSnare, Snare, Rep(kBrokenSnare, 3));
  p.Put(cSnare, Snare, "x/v30/E93 x/v34/E93 x/v38/E93 x/v42/E93 x/v46/E92 x/v50/E92 x/v54/E92 x/v58/E92", 56);
  p.Put(cRide, Ride, Rep(B("x/v30 . x/v18 . x/v26 . x/v18 . x/v30 . x/v18 . x/v26 . x/v18 ."), 4));
  p.Put(cBass, Bass, BassLine({"D-2", "A-2", "F-2", "E-2"}, B("x . . x . . x . == . x . . x . .")));
  p.Put(cSub, Sub, SubLine({"D-2", "A-1", "F-1", "E-1"}, "v34"));
  const std::string lead = Join({
      B("D-5/v42 . F-5 . A-5 . . . G-5 . F-5 . E-5 . D-5 ."),
      B("E-5 . . . -/443 -/400 -/400 -/400 C-5 . . . A-4 . . ."),
      B("F-5 . . . E-5 . . . D-5 . . . C-5 . . ."),
      B("B-4 . . . -/443 -/400 -/400 -/400 G#4 . . . B-4 . -/4A3 =="),
  });
  p.Put(cLead, LeadSoft, lead).Put(cLeadEcho, LeadSoft, Echo(lead, 4, "v16/8D0"));
  const std::string mallet = Join({
      B("A-5/v30/830 . . . F-5 . . . D-5 . . . F-5 . . ."),
      B("E-5 . . . C-5 . . . A-4 . . . C-5 . . ."),
      B("C-6 . . . A-5 . . . F-5 . . . A-5 . . ."),
      B("B-5 . . . G#5 . . . E-5 . . . B-4 . . ."),
  });
  p.Put(cBell, Mallet, mallet).Put(cBellEcho, Mallet, Echo(mallet, 2, "v14/8D0"));
  return p.Done();
}

// Acid: a squelchy bass line with slides (3xx and the volume column's tone portamento) and
// short notes (ECx); pads chopped by a square tremolo, a shimmering gated glass part.
xmw::Pattern AcidLine() {
  Pat p;
  const std::string acidBar = B(
      "A-1/v50 A-1/v28/EC2 A-2/v44 . A-1/v34/EC2 G-2/v40 ~A-2/305 . C-2/v50/EC3 A-1/v28 E-2/v44 . "
      "~G-2/%m8 A-1/v34/EC2 A-2/v48/220 .");
  p.Release({cChord1, cChord2, cChord3});
  p.Put(cAcid, Acid, Join({acidBar, acidBar, Transpose(acidBar, -2), Transpose(acidBar, -4)}));
  p.Put(cAcid, 0, "==", 63);
  p.Put(cControl, 0, "-/E76");
  // The riff moves down in whole tones, so the chords under it turn minor: Am Am Gm Fm.
  const std::vector<std::string> chords = {"A-3 C-4 E-4", "A-3 C-4 E-4", "G-3 A#3 D-4", "F-3 G#3 C-4"};
  for (size_t v = 0; v < 3; v++) {
    std::vector<std::string> bars;
    for (const std::string& c : chords) bars.push_back(Tokens(c).at(v) + "/v32/788 " + Rep("-/788", 15));
    p.Put(cPad1 + static_cast<int>(v), Pad, Join(bars));
  }
  p.Put(cKick, Kick, Rep(kFour, 4)).Put(cClap, Clap, Rep(kBackbeat, 4));
  p.Put(cRide, Shaker, Rep(B("x/v30 x/v16 x/v22 x/v16"
                             " x/v30 x/v16 x/v22 x/v16 x/v30 x/v16 x/v22 x/v16 x/v30 x/v16 x/v22 x/v16"), 4));
  p.Put(cOpenHat, HatOpen, Rep(kOffHat, 4));
  p.Put(cGlass, Glass, "E-5/v26 " + Dots(31) + " D-5/v26 " + Dots(15) + " C-5/v26 " + Dots(13) + " ==");
  p.Put(cSub, Sub, SubLine({"A-1", "A-1", "G-1", "F-1"}, "v32"));
  p.Put(cCrash, Crash, "C-4/v40");
  p.Put(cZap, Zap, Dots(28) + " C-5/v28 . . G-4/v24/110", 0);
  return p.Done();
}

// Half time, heavy: the snare on beat three, stabs stuttered by tremor (Txy), a dark choir
// and a bass that bends down at the end of each bar.
xmw::Pattern HalfTime() {
  Pat p;
  p.Release({cPad1, cPad2, cPad3});
  p.Put(cControl, 0, "-/E70");
  p.Put(cKick, Kick, Rep(B("x . . . . . . . . . x . . . x/v40 ."), 4));
  p.Put(cSnare, Snare, Rep(B(". . . . . . . . x/v56 . . . . . . ."), 3) + " " +
                           B(". . . . . . . . x/v56 . . . x/v30 x/v36 x/v44 x/v52"));
  p.Put(cClap, Clap, Rep(B(". . . . . . . . x/v44 . . . . . . ."), 4));
  p.Put(cHat, HatClosed, Rep(B("x/v20 . x/v12 . x/v20 . x/v12 . x/v20 . x/v12 . x/v20 . x/v12 x/v14"), 4));
  const std::string bass = B("x/v52 . . . . . . . . . x/v48 . . . -/203 -/203");
  p.Put(cBass, Bass, Join({Fill(bass, "A-2"), Fill(bass, "A#2"), Fill(bass, "A-2"), Fill(bass, "G-2")}));
  p.Put(cSub, Sub, SubLine({"A-1", "A#1", "A-1", "G-1"}, "v36"));
  const std::string stab = B("x/v40/T21 -/T21 . x/v30/EC2 . . x/v36 . . . . . x/v30/T21 -/T21 . .");
  p.Put(cStab, Stab, Join({Fill(stab, "A-3"), Fill(stab, "A#3"), Fill(stab, "A-3"), Fill(stab, "G-3")}));
  const std::vector<std::string> chords = {"A-3 C-4 E-4", "A#3 D-4 F-4", "A-3 C-4 E-4", "G-3 B-3 D-4"};
  p.Put(cChord1, Choir, Voice(chords, 0, "v30")).Put(cChord2, Choir, Voice(chords, 1, "v30"));
  p.Put(cChord3, Choir, Voice(chords, 2, "v30"));
  p.Put(cCrash, Impact, "C-4/v56");
  p.Put(cZap, Zap, Rep(B(". . . . . . . . . . . . . . C-5/v26 ."), 4));
  p.Put(cLead, LeadSaw, Join({B("E-5/v36 . . . -/453 -/400 -/400 -/400 -/400 -/400 -/400 -/400 D-5 . C-5 ."),
                              B("D-5 . . . -/453 -/400 -/400 -/400 F-5 . . . D-5 . C-5 ."),
                              B("E-5 . . . -/453 -/400 -/400 -/400 A-5 . . . G-5 . E-5 ."),
                              B("D-5 . . . -/453 -/400 -/400 -/400 -/400 -/400 -/400 -/400 -/%-3/400 -/%-3/400 -/%-3/400 ==")}));
  return p.Done();
}

// Build on the dominant: the kick doubles up, the riser climbs, the last bar is a snare roll.
xmw::Pattern DominantBuild() {
  Pat p;
  p.Release({cChord1, cChord2, cChord3});
  const std::vector<std::string> chords = {"A-3 C-4 F-4", "B-3 D-4 G-4", "B-3 E-4 G#4", "B-3 E-4 G#4"};
  ThemePads(p, chords, Strings, "v30");
  p.Put(cKick, Kick, Join({kFour, kFour, B("x . x . x . x . x . x . x . x ."), B("x . x . x . x . x x x x x x x x")}));
  p.Put(cHat, HatClosed, Rep(kHats, 3) + " " + kHatRoll);
  p.Put(cClap, Clap, Rep(kBackbeat, 3));
  std::string roll;
  for (int r = 0; r < 16; r++) roll += "x/v" + std::to_string(20 + 2 * r) + "/R2A ";
  p.Put(cSnare, Snare, roll, 48);
  p.Put(cBass, Bass, BassLine({"F-2", "G-2", "E-2", "E-2"}, B("x . x . x . x . x . x . x . x .")));
  p.Put(cRiser, Riser, "C-4/v44", 32);
  p.Put(cArp, Arp, Join({Arpeggio("F-5 C-5 A-4 C-5", "v24", "v14"), Arpeggio("G-5 D-5 B-4 D-5", "v24", "v14"),
                         Arpeggio("G#5 E-5 B-4 E-5", "v28", "v18"), Arpeggio("B-5 G#5 E-5 G#5", "v32", "v22")}));
  p.Put(cCrash, Crash, "C-4/v40");
  return p.Done();
}

// Water, at 120 BPM: no drums; e-piano chords, falling drops placed around the stereo field
// (8xx), a slow sub and the wind.
const std::vector<std::string> kWater = {"C-4 E-4 G-4 B-4", "A-3 C-4 E-4 G-4", "G-3 B-3 E-4 G-4", "B-3 D-4 G-4 A-4"};

void WaterBed(Pat& p) {
  p.Put(cChord1, EPiano, Voice(kWater, 0, "v34")).Put(cChord2, EPiano, Voice(kWater, 1, "v30"));
  p.Put(cChord3, EPiano, Voice(kWater, 2, "v30")).Put(cPad3, EPiano, Voice(kWater, 3, "v26"));
  p.Put(cSub, Sub, SubLine({"A-1", "F-1", "C-2", "G-1"}, "v38"));
  p.Put(cPad1, Pad, Voice({"A-3", "F-3", "E-3", "D-3"}, 0, "v22"));
}

xmw::Pattern WaterA() {
  Pat p;
  p.Put(cControl, 0, "-/F78");
  p.Release({cPad2, cArp});
  WaterBed(p);
  p.Put(cCrash, Impact, "C-4/v48").Put(cFx, Downer, "C-4/v36");
  p.Put(cWind, Wind, "C-4/v30");
  p.Put(cDrop, Drop, Join({
      B(". . . E-5/v30/840 . . . . . . . B-5/v22/8C0 . . . ."),
      B(". . G-5/v28/860 . . . . . . . . . . D-6/v18/8B0 . ."),
      B(". . . . C-6/v26/830 . . . . . A-5/v22/8D0 . . . . ."),
      B(". . . . . . E-6/v20/870 . . . . . G-5/v28/820 . . ."),
  }));
  p.Put(cGlass, Glass, Dots(32) + " E-5/C16 " + Dots(29) + " ==");
  return p.Done();
}

xmw::Pattern WaterB() {
  Pat p;
  WaterBed(p);
  p.Put(cKick, Kick, Rep(B("x/v34 . . . . . . . x/v28 . . . . . . ."), 4));
  p.Put(cSnare, Snare, Rep(B(". . . . x/v22/903 . . . . . . . x/v22/903 . . x/v14/903"), 4));
  p.Put(cRide, Shaker, Rep(B("x/v24 . x/v14 . x/v24 . x/v14 . x/v24 . x/v14 . x/v24 . x/v14 x/v12"), 4));
  const std::string mallet = Join({
      B("E-5/v34 . . . G-5 . . . B-5 . . . A-5 . G-5 ."),
      B("E-5 . . . . . . . C-5 . . . E-5 . . ."),
      B("D-5 . . . E-5 . . . G-5 . . . B-5 . . ."),
      B("A-5 . . . . . . . . . . . . . . ."),
  });
  p.Put(cBell, Mallet, mallet).Put(cBellEcho, Mallet, Echo(mallet, 3, "v16/8C0"));
  p.Put(cDrop, Drop, Join({
      B(". . . . . . . . . . . B-5/v20/8C0 . . . ."),
      B(". . G-5/v24/860 . . . . . . . . . . . . ."),
      B(". . . . . . . . . . A-5/v20/8D0 . . . . ."),
      B(". . . . . . E-6/v20/870 . . . . . . . . ."),
  }));
  p.Put(cCrash, RevCymbal, "C-4/v36", 48);
  p.Put(cWind, 0, "-/K00", 32);
  return p.Done();
}

// Groove back at speed 5 and 130 BPM: organ chords with a sine tremolo, a rolling bass with
// accents, a shuffled beat.
const std::vector<std::string> kSea = {"A-3 C-4 F-4", "G-3 C-4 E-4", "A-3 C-4 F-4", "G-3 B-3 D-4"};

xmw::Pattern Sea() {
  Pat p;
  p.Put(cControl, 0, "-/F82").Put(cControl2, 0, "-/F05");
  p.Release({cPad1, cPad2, cPad3});
  FullBeat(p, kHatRoll);
  p.Put(cClap, 0, "-/ED1", 12);
  for (size_t v = 0; v < 3; v++) {
    std::vector<std::string> bars;
    for (const std::string& c : kSea) bars.push_back(Tokens(c).at(v) + "/v26/746 " + Rep("-/700", 15));
    p.Put(cChord1 + static_cast<int>(v), Organ, Join(bars));
  }
  const std::string roll = B("x/v48 x/v24 x/v36 x/v24 x/v48 x/v24 x/v36 x/v24 x/v48 x/v24 x/v36 x/v24 x/v48 x/v24 x/v36 x/v30");
  p.Put(cBass, Bass, Join({Fill(roll, "D-2"), Fill(roll, "C-2"), Fill(roll, "F-2"), Fill(roll, "G-2")}));
  p.Put(cSub, Sub, SubLine({"D-2", "C-2", "F-1", "G-1"}, "v30"));
  const std::string lead = Join({
      B("F-5/v40 . . . E-5 . D-5 . . . C-5 . . . A-4 ."),
      B("G-4 . . . -/443 -/400 -/400 -/400 C-5 . E-5 . . . G-5 ."),
      B("A-5 . . . G-5 . F-5 . . . E-5 . . . C-5 ."),
      B("D-5 . . . -/443 -/400 -/400 -/400 -/400 -/400 -/X12 -/400 -/400 -/400 == ."),
  });
  p.Put(cLead, LeadSoft, lead).Put(cLeadEcho, LeadSoft, Echo(lead, 3, "v16/8C0"));
  p.Put(cCrash, Crash, "C-4/v44");
  return p.Done();
}

// Souvenirs: speed 6 makes every row longer; e-piano and mallet with echoes, a brushed beat.
xmw::Pattern Souvenirs() {
  Pat p;
  p.Put(cControl, 0, "-/F06");
  p.Release({cBass});
  const std::vector<std::string> chords = {"A-3 C-4 E-4 F-4", "G-3 B-3 D-4 E-4", "F-3 A-3 C-4 D-4", "E-3 G-3 B-3 C-4"};
  p.Put(cChord1, EPiano, Voice(chords, 0, "v30")).Put(cChord2, EPiano, Voice(chords, 1, "v28"));
  p.Put(cChord3, EPiano, Voice(chords, 2, "v28")).Put(cPad3, EPiano, Voice(chords, 3, "v24"));
  p.Put(cPad1, Strings, Voice({"F-3", "E-3", "D-3", "C-3"}, 0, "v24"));
  p.Put(cSub, Sub, SubLine({"F-1", "E-1", "D-2", "C-2"}, "v36"));
  p.Put(cKick, Kick, Rep(B("x/v44 . . . . . . . x/v36 . x/v28 . . . . ."), 4));
  p.Put(cSnare, Snare, Rep(B(". . . . x/v30/902 . . . . . . . x/v34/902 . . ."), 4));
  p.Put(cRide, Shaker, Rep(B("x/v20 . x/v12 x/v10 x/v20 . x/v12 x/v10 x/v20 . x/v12 x/v10 x/v20 . x/v12 x/v10"), 4));
  const std::string melody = Join({
      B("A-5/v40 . . . G-5 . . . E-5 . . . C-5 . . ."),
      B("B-4 . . . . . . . G-4 . . . B-4 . D-5 ."),
      B("C-5 . . . . . A-4 . . . F-4 . A-4 . C-5 ."),
      B("E-5 . . . . . . . D-5 . . . . . . ."),
  });
  p.Put(cBell, Mallet, melody).Put(cBellEcho, Mallet, Echo(melody, 3, "v18/8D0"));
  p.Put(cLead, Bell, Echo(melody, 6, "v14/830"));
  p.Put(cGlass, Glass, Dots(48) + " C-6/v18 . . . . . . . . . . . . . . ==");
  return p.Done();
}

// The theme again, for the greetings: back to speed 5, the choir doubling the pads.
xmw::Pattern Greetings() {
  Pat p;
  p.Put(cControl, 0, "-/F05");
  FullBeat(p, kHatRoll);
  ThemePads(p, kTheme, Pad, "v22");
  p.Put(cChord1, Choir, Voice(kTheme, 0, "v24")).Put(cChord2, Choir, Voice(kTheme, 1, "v24"));
  p.Put(cChord3, Choir, Voice(kTheme, 2, "v24"));
  p.Put(cBass, Bass, BassLine(kThemeBass, kOffBass));
  p.Put(cSub, Sub, SubLine(kThemeRoots, "v34"));
  p.Put(cLead, LeadSaw, Transpose(kThemeA, 12)).Put(cLeadEcho, LeadSaw, Echo(kThemeA, 3, "v18/8C0"));
  p.Put(cBell, Bell, Echo(kThemeA, 0, "v22/840"));
  p.Put(cCrash, Crash, "C-4/v48").Put(cFx, Impact, "C-4/v44");
  return p.Done();
}

// Climax, then at row 48 the band stops (held by a pattern delay on the row before):
// strings and choir hold A minor, the lead fades on a long vibrato, a glass figure repeats
// in a pattern loop, and a reversed cymbal slides across from the left into the credits.
// (The loop comes after the show's last cue, so no scene ever sees the song step back.)
xmw::Pattern Climax() {
  Pat p;
  p.Put(cControl, 0, "-/EE2", 47);
  p.Put(cControl, 0, "-/E60 . . -/E61", 56);
  // Some players start the next pattern at the loop's first row; a break to row 0 says where.
  p.Put(cControl2, 0, "-/D00", 63);
  p.Put(cGlass, Bell, "E-6/v20/8A0 . C-6/v16/860 .", 56);
  const std::vector<std::string> chords = {"A-3 C-4 F-4", "B-3 D-4 G-4", "A-3 C-4 E-4"};
  p.Put(cPad1, Pad, Voice(chords, 0, "v24")).Put(cPad2, Pad, Voice(chords, 1, "v24"));
  p.Put(cPad3, Pad, Voice(chords, 2, "v24"));
  p.Put(cChord1, Strings, "A-3/v34 " + Dots(15), 48).Put(cChord2, Strings, "C-4/v34 " + Dots(15), 48);
  p.Put(cChord3, Choir, "E-4/v34", 48);
  p.Put(cKick, Kick, Rep(kFour, 2) + " " + B("x . . . x . . . x . x . x x x x"));
  p.Put(cClap, Clap, Rep(kBackbeat, 3)).Put(cOpenHat, HatOpen, Rep(kOffHat, 3));
  p.Put(cHat, HatClosed, Rep(kHats, 2) + " " + kHatRoll);
  p.Put(cSnare, Snare, Dots(32) + " " + B(". . . . x/v40 . . . x/v30 x/v34 x/v38 x/v42 x/v46 x/v50 x/v54 x/v58"));
  p.Put(cBass, Bass, BassLine({"F-2", "G-2", "A-2"}, kOffBass) + " ==");
  p.Put(cSub, Sub, SubLine({"F-1", "G-1", "A-1", "A-1"}, "v34"));
  const std::string lead = Join({
      B("A-5/v44 . . . C-6 . . . A-5 . G-5 . F-5 . E-5 ."),
      B("D-5 . . . -/443 -/400 G-5 . . . B-5 . D-6 . C-6 ."),
      B("C-6 . . . B-5 . A-5 . G-5 . E-5 . G-5 . G#5 ."),
      B("A-5/v48 . . . -/443 -/400 -/400 -/400 -/602 -/602 -/602 -/602 -/602 -/602 -/602 =="),
  });
  p.Put(cLead, LeadSaw, lead).Put(cLeadEcho, LeadSaw, Echo(lead, 3, "v18/8C0"));
  p.Put(cCrash, Impact, "C-4/v56", 48).Put(cFx, Crash, "C-4/v44", 48);
  p.Put(cPerc, RevCymbal, "C-4/%p4 " + Rep("-/%r3", 10), 53);
  return p.Done();
}

}  // namespace

xmw::Song ComposeSong() {
  xmw::Song s;
  s.name = "Halvorine";
  s.channels = kChannels;
  s.speed = 5;
  s.bpm = 130;
  s.linearFrequencies = true;
  s.instruments = BuildInstruments();
  s.patterns = {Dawn(),     DawnPlucks(), Build(),  Teaser(), ThemeA(),    ThemeB(),
                SecondA(),  SecondB(),    AcidLine(),   HalfTime(), DominantBuild(), WaterA(),
                WaterB(),   Sea(),        Souvenirs(), Greetings(), Climax()};
  s.orders = {0, 1, 2, 3, 4, 5, 6, 7, 8, 8, 9, 10, 11, 12, 13, 14, 15, 4, 5, 16, 13, 6, 7, 14};
  s.restartPosition = 20;
  return s;
}

}  // namespace song
