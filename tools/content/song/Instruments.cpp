#include "Instruments.h"

#include <algorithm>
#include <cmath>

#include "Synth.h"

namespace song {
namespace {

constexpr double kRate = 22050;
constexpr double kLowRate = 16000;

int Frames(double seconds, double rate = kRate) { return static_cast<int>(seconds * rate); }

xmw::Envelope Env(std::vector<xmw::EnvelopePoint> pts, uint8_t type, uint8_t sustain = 0,
                  uint8_t loopStart = 0, uint8_t loopEnd = 0) {
  xmw::Envelope e;
  e.points = std::move(pts);
  e.type = type;
  e.sustain = sustain;
  e.loopStart = loopStart;
  e.loopEnd = loopEnd;
  return e;
}
constexpr uint8_t kOn = 1, kSustain = 2, kLoop = 4;

xmw::Instrument One(const char* name, xmw::Sample s, uint8_t volume, uint8_t panning = 128) {
  xmw::Instrument ins;
  ins.name = name;
  s.volume = volume;
  s.panning = panning;
  ins.samples.push_back(std::move(s));
  return ins;
}

// A filter run twice over a periodic wave leaves a wave that is periodic too.
Wave LowpassPeriodic(const Wave& w, double cutoff, double q, double rate) {
  Svf f;
  f.Set(cutoff, q, rate);
  for (float v : w) f.Low(v);
  Wave out(w.size());
  for (size_t i = 0; i < w.size(); i++) out[i] = f.Low(w[i]);
  return out;
}

// ---- drums ---------------------------------------------------------------------------

xmw::Instrument MakeKick() {
  Wave w(Frames(0.42));
  double phase = 0;
  for (size_t i = 0; i < w.size(); i++) {
    const double t = i / kRate;
    const double hz = 48 + 170 * std::exp(-t * 32);  // the thump is a fast downward sweep
    phase += kTwoPi * hz / kRate;
    const double amp = std::exp(-t * 7.5) * std::min(1.0, t * 2000);
    w[i] = static_cast<float>(SoftClip(static_cast<float>(1.6 * std::sin(phase))) * amp);
  }
  Rng rng(11);
  for (int i = 0; i < 200; i++) w[i] += 0.35f * rng.Bipolar() * (1 - i / 200.0f);  // beater click
  Normalise(w);
  return One("kick", MakeSample("kick", w, true, kRate, NoteHz(49), 49), 64);
}

xmw::Instrument MakeSnare() {
  Wave w(Frames(0.3));
  Rng rng(22);
  Svf hp;
  hp.Set(1800, 0.7, kRate);
  double phase = 0;
  for (size_t i = 0; i < w.size(); i++) {
    const double t = i / kRate;
    phase += kTwoPi * (180 + 60 * std::exp(-t * 40)) / kRate;
    const float tone = static_cast<float>(std::sin(phase) * std::exp(-t * 28));
    hp.Low(rng.Bipolar());
    const float noise = static_cast<float>((hp.high * 0.7 + hp.band * 0.5) * std::exp(-t * 14));
    w[i] = 0.8f * tone + noise;
  }
  Normalise(w);
  return One("snare", MakeSample("snare", w, true, kRate, NoteHz(49), 49), 60);
}

xmw::Instrument MakeClap() {
  Wave w(Frames(0.32));
  Rng rng(33);
  Svf bp;
  bp.Set(1200, 1.8, kRate);
  for (size_t i = 0; i < w.size(); i++) {
    const double t = i / kRate;
    // Three quick slaps and a tail: the hands never meet at quite the same time.
    double env = std::exp(-t * 18);
    for (double s : {0.0, 0.011, 0.023}) {
      if (t >= s) env += 1.6 * std::exp(-(t - s) * 180);
    }
    bp.Low(rng.Bipolar());
    w[i] = static_cast<float>(bp.band * env);
  }
  Normalise(w);
  return One("clap", MakeSample("clap", w, false, kRate, NoteHz(49), 49), 52);
}

Wave MetalNoise(int frames, uint32_t seed, double hpCut, double decay) {
  Wave w(frames);
  Rng rng(seed);
  Svf hp;
  hp.Set(hpCut, 0.8, kRate);
  // Square-wave cluster at inharmonic ratios gives hats their metal.
  const double ratios[6] = {2.0, 3.0, 4.16, 5.43, 6.79, 8.21};
  double ph[6] = {0};
  for (int i = 0; i < frames; i++) {
    const double t = i / kRate;
    double metal = 0;
    for (int k = 0; k < 6; k++) {
      ph[k] += 330 * ratios[k] / kRate;
      metal += (std::fmod(ph[k], 1.0) < 0.5) ? 1 : -1;
    }
    hp.Low(static_cast<float>(0.12 * metal + rng.Bipolar()));
    w[i] = static_cast<float>(hp.high * std::exp(-t * decay));
  }
  Normalise(w);
  return w;
}

xmw::Instrument MakeHat(bool open) {
  Wave w = MetalNoise(Frames(open ? 0.42 : 0.07), open ? 44 : 45, open ? 6500 : 7500, open ? 9 : 60);
  FadeOut(w, 200);
  return One(open ? "open hat" : "closed hat",
             MakeSample(open ? "open hat" : "closed hat", w, false, kRate, NoteHz(49), 49),
             open ? 40 : 44, open ? 150 : 160);
}

xmw::Instrument MakeRide() {
  Wave w(Frames(0.8));
  double ph[4] = {0};
  const double hz[4] = {563, 847, 1321, 2189};
  Rng rng(55);
  Svf hp;
  hp.Set(5000, 0.7, kRate);
  for (size_t i = 0; i < w.size(); i++) {
    const double t = i / kRate;
    double v = 0;
    for (int k = 0; k < 4; k++) {
      ph[k] += kTwoPi * hz[k] / kRate;
      v += std::sin(ph[k] + 2.5 * std::sin(ph[(k + 1) % 4] * 1.41));
    }
    hp.Low(rng.Bipolar());
    w[i] = static_cast<float>((0.25 * v + 0.5 * hp.high) * std::exp(-t * 5) * std::min(1.0, t * 3000));
  }
  Normalise(w);
  return One("ride", MakeSample("ride", w, false, kRate, NoteHz(49), 49), 36, 100);
}

xmw::Instrument MakeTom() {
  Wave w(Frames(0.5));
  double phase = 0;
  for (size_t i = 0; i < w.size(); i++) {
    const double t = i / kRate;
    phase += kTwoPi * (130 + 80 * std::exp(-t * 18)) / kRate;
    w[i] = static_cast<float>(std::sin(phase) * std::exp(-t * 7) * std::min(1.0, t * 1500));
  }
  Normalise(w);
  // Pitched like a drum: C-4 plays the recorded tom, other notes tune it.
  return One("tom", MakeSample("tom", w, true, kRate, NoteHz(49), 49), 56);
}

Wave CrashWave(uint32_t seed) {
  Wave w = MetalNoise(Frames(1.6), seed, 3500, 2.2);
  Svf lp;
  lp.Set(9000, 0.7, kRate);
  for (float& v : w) v = lp.Low(v);
  Normalise(w);
  FadeOut(w, 2000);
  return w;
}

xmw::Instrument MakeCrash() {
  return One("crash", MakeSample("crash", CrashWave(66), false, kRate, NoteHz(49), 49), 44, 100);
}

xmw::Instrument MakeRevCymbal() {
  Wave w = CrashWave(67);
  w.resize(Frames(1.5));
  std::reverse(w.begin(), w.end());
  FadeIn(w, 400);
  FadeOut(w, 60);
  return One("reverse cymbal", MakeSample("reverse cymbal", w, false, kRate, NoteHz(49), 49), 44);
}

xmw::Instrument MakeShaker() {
  Wave w(Frames(0.11));
  Rng rng(77);
  Svf hp;
  hp.Set(6000, 0.7, kRate);
  for (size_t i = 0; i < w.size(); i++) {
    const double t = i / kRate;
    hp.Low(rng.Bipolar());
    const double env = std::min(1.0, t * 60) * std::exp(-t * 30);
    w[i] = static_cast<float>(hp.high * env);
  }
  Normalise(w);
  return One("shaker", MakeSample("shaker", w, false, kRate, NoteHz(49), 49), 36, 180);
}

xmw::Instrument MakeImpact() {
  Wave w(Frames(1.3));
  Rng rng(88);
  Svf lp;
  double phase = 0;
  for (size_t i = 0; i < w.size(); i++) {
    const double t = i / kRate;
    phase += kTwoPi * (38 + 90 * std::exp(-t * 9)) / kRate;
    lp.Set(300 + 3000 * std::exp(-t * 6), 0.9, kRate);
    const double noise = lp.Low(rng.Bipolar()) * std::exp(-t * 3.5);
    w[i] = static_cast<float>(std::sin(phase) * std::exp(-t * 2.6) + 0.9 * noise);
  }
  for (float& v : w) v = SoftClip(1.4f * v);
  Normalise(w);
  FadeOut(w, 3000);
  return One("impact", MakeSample("impact", w, true, kRate, NoteHz(49), 49), 64);
}

// ---- bass ----------------------------------------------------------------------------

// A saw through a low-pass whose cutoff falls from `from` to `to`; the last `loop` frames are
// static and loop seamlessly.
xmw::Sample SawBass(const char* name, int attack, double from, double to, double q, double fall) {
  const int loop = 2048;
  const double hz = Periodic(NoteHz(25), kRate, loop);  // C-2
  Wave raw(attack + loop);
  AddSaw(raw, kRate, hz, 1.0f);
  AddSaw(raw, kRate, hz * 2, 0.25f);  // a little more body an octave up
  Svf f;
  Wave w(raw.size());
  // Prime the filter with the periodic tail so the start is as clean as the loop.
  for (int i = 0; i < attack + loop; i++) {
    const double t = i / kRate;
    const int settle = attack - 1500;
    const double cut = i < settle ? to + (from - to) * std::exp(-t * fall) * (1 - static_cast<double>(i) / settle)
                                  : to;
    f.Set(cut, q, kRate);
    w[i] = f.Low(raw[i]);
  }
  for (float& v : w) v = SoftClip(1.5f * v);
  Normalise(w);
  xmw::Sample s = MakeSample(name, w, true, kRate, hz, 25);
  SetLoop(s, attack, loop, 1);
  return s;
}

xmw::Instrument MakeBass() {
  xmw::Instrument ins = One("bass", SawBass("bass", 4096, 2600, 700, 1.1, 14), 56);
  ins.volumeEnvelope = Env({{0, 64}, {10, 54}, {60, 44}}, kOn | kSustain, 2);
  ins.fadeout = 6000;
  return ins;
}

xmw::Instrument MakeAcid() {
  return One("acid", SawBass("acid", 6144, 4200, 380, 5.0, 9), 48);
}

xmw::Instrument MakeSub() {
  const int loop = 2048;
  const double hz = Periodic(NoteHz(25), kRate, loop);
  Wave w(loop);
  AddSine(w, kRate, hz, 1.0f);
  AddSine(w, kRate, hz * 2, 0.15f);
  Normalise(w);
  xmw::Sample s = MakeSample("sub", w, true, kRate, hz, 25);
  SetLoop(s, 0, loop, 1);
  xmw::Instrument ins = One("sub", s, 60);
  ins.volumeEnvelope = Env({{0, 64}, {4, 64}}, kOn | kSustain, 1);
  ins.fadeout = 3000;
  return ins;
}

// ---- pads ----------------------------------------------------------------------------

xmw::Instrument MakePad() {
  const int loop = 32768;
  const double base = NoteHz(37);  // C-3
  Wave w(loop);
  const double f0 = Periodic(base, kRate, loop);
  AddSaw(w, kRate, f0, 0.5f);
  AddSaw(w, kRate, f0 + kRate / loop, 0.45f, 1.3);
  AddSaw(w, kRate, f0 - kRate / loop, 0.45f, 2.1);
  AddSine(w, kRate, f0 / 2, 0.4f);
  w = LowpassPeriodic(w, 1700, 0.8, kRate);
  Normalise(w);
  xmw::Sample s = MakeSample("warm pad", w, true, kRate, f0, 37);
  SetLoop(s, 0, loop, 1);
  xmw::Instrument ins = One("warm pad", s, 44);
  ins.volumeEnvelope = Env({{0, 0}, {26, 64}, {70, 54}}, kOn | kSustain, 2);
  ins.fadeout = 500;
  return ins;
}

xmw::Instrument MakeStrings() {
  const int loop = 16384;
  const double f0 = Periodic(NoteHz(37), kRate, loop);
  const double d = kRate / loop;
  Wave w(loop);
  AddSaw(w, kRate, f0, 0.4f);
  AddSaw(w, kRate, f0 + d, 0.35f, 0.7);
  AddSaw(w, kRate, f0 - d, 0.35f, 1.9);
  AddSaw(w, kRate, 2 * f0 + d, 0.2f, 2.4);
  w = LowpassPeriodic(w, 3800, 0.7, kRate);
  Normalise(w);
  xmw::Sample s = MakeSample("strings", w, true, kRate, f0, 37);
  SetLoop(s, 0, loop, 2);  // ping-pong: the chorus swings back and forth
  xmw::Instrument ins = One("strings", s, 40);
  ins.volumeEnvelope = Env({{0, 0}, {14, 64}, {40, 58}}, kOn | kSustain, 2);
  ins.fadeout = 800;
  return ins;
}

xmw::Instrument MakeChoir() {
  const int loop = 16384;
  const double f0 = Periodic(NoteHz(37), kRate, loop);
  Wave src(loop);
  AddSaw(src, kRate, f0, 0.5f);
  AddSaw(src, kRate, f0 + kRate / loop, 0.5f, 1.1);
  // "aah": three formants, each a resonant band-pass.
  const double formant[3] = {730, 1090, 2440};
  const double gain[3] = {1.0, 0.55, 0.3};
  Wave w(loop, 0.0f);
  for (int k = 0; k < 3; k++) {
    Svf f;
    f.Set(formant[k], 6, kRate);
    for (float v : src) f.Low(v);
    for (int i = 0; i < loop; i++) {
      f.Low(src[i]);
      w[i] += static_cast<float>(gain[k] * f.band);
    }
  }
  Normalise(w);
  xmw::Sample s = MakeSample("choir", w, true, kRate, f0, 37);
  SetLoop(s, 0, loop, 1);
  xmw::Instrument ins = One("choir", s, 40);
  ins.volumeEnvelope = Env({{0, 0}, {34, 64}, {80, 60}}, kOn | kSustain, 2);
  ins.fadeout = 450;
  return ins;
}

xmw::Instrument MakeGlass() {
  const int loop = 16384;
  const double f0 = Periodic(NoteHz(61), kRate, loop);  // C-5
  const double d = kRate / loop;
  Wave w(loop);
  AddSine(w, kRate, f0, 0.6f);
  AddSine(w, kRate, f0 + d, 0.4f);
  AddSine(w, kRate, 2 * f0, 0.3f);
  AddSine(w, kRate, 3 * f0 + d, 0.2f);
  AddSine(w, kRate, 5 * f0, 0.1f);
  Normalise(w);
  xmw::Sample s = MakeSample("glass", w, true, kRate, f0, 61);
  SetLoop(s, 0, loop, 1);
  xmw::Instrument ins = One("glass gate", s, 36);
  // An eighth-note gate that loops while the key is held, and an auto-pan that never stops.
  ins.volumeEnvelope = Env({{0, 64}, {5, 52}, {6, 10}, {9, 10}, {10, 64}}, kOn | kLoop, 0, 0, 4);
  ins.panningEnvelope = Env({{0, 32}, {40, 6}, {120, 58}, {160, 32}}, kOn | kLoop, 0, 0, 3);
  ins.fadeout = 700;
  return ins;
}

xmw::Instrument MakeWind() {
  const int frames = Frames(1.6, kLowRate);
  Wave w(frames);
  Rng rng(99);
  Svf f;
  for (int i = 0; i < frames; i++) {
    const double t = i / kLowRate;
    f.Set(700 + 500 * std::sin(t * 2.7) + 300 * std::sin(t * 6.1), 3, kLowRate);
    f.Low(rng.Bipolar());
    w[i] = f.band;
  }
  Normalise(w);
  xmw::Sample s = MakeSample("wind", w, false, kLowRate, NoteHz(49), 49);
  SetLoop(s, 2000, frames - 2000, 2);
  xmw::Instrument ins = One("wind", s, 40);
  ins.volumeEnvelope = Env({{0, 0}, {60, 64}, {120, 50}}, kOn | kSustain, 2);
  ins.panningEnvelope = Env({{0, 32}, {50, 12}, {150, 52}, {200, 32}}, kOn | kLoop, 0, 0, 3);
  ins.fadeout = 300;
  return ins;
}

// ---- melodic -------------------------------------------------------------------------

xmw::Instrument MakePluck() {
  // Karplus-Strong: a noise burst circulating in a delay line with a gentle averaging filter.
  const int period = 85;  // about C-4 at 22050 Hz; the sample is tuned from the real period
  const double f0 = kRate / (period - 0.5);  // the two-tap average shortens the loop by half a frame
  Wave w(Frames(1.1));
  std::vector<float> line(period);
  Rng rng(123);
  Svf shape;
  shape.Set(5000, 0.7, kRate);
  for (float& v : line) v = shape.Low(rng.Bipolar());
  for (size_t i = 0, j = 0; i < w.size(); i++) {
    const size_t next = (j + 1) % period;
    const float out = line[j];
    line[j] = 0.996f * 0.5f * (line[j] + line[next]);
    w[i] = out;
    j = next;
  }
  FadeOut(w, 2000);
  Normalise(w);
  return One("pluck", MakeSample("pluck", w, true, kRate, f0, 49), 48);
}

xmw::Instrument MakeBell() {
  const double fc = NoteHz(61);  // C-5
  Wave w(Frames(1.7));
  for (size_t i = 0; i < w.size(); i++) {
    const double t = i / kRate;
    const double index = 0.6 + 3.0 * std::exp(-t * 4);
    const double mod = index * std::sin(kTwoPi * fc * 3.5 * t);
    const double body = std::sin(kTwoPi * fc * t + mod) * std::exp(-t * 2.2);
    const double hum = 0.3 * std::sin(kTwoPi * fc * 0.5 * t) * std::exp(-t * 1.5);
    w[i] = static_cast<float>((body + hum) * std::min(1.0, t * 4000));
  }
  FadeOut(w, 3000);
  Normalise(w);
  return One("bell", MakeSample("bell", w, true, kRate, fc, 61), 44);
}

xmw::Instrument MakeLeadSaw() {
  const int loop = 16384;
  const double f0 = Periodic(NoteHz(49), kRate, loop);
  Wave w(loop);
  AddSaw(w, kRate, f0, 0.5f);
  AddSaw(w, kRate, f0 + kRate / loop, 0.45f, 1.7);
  AddSquare(w, kRate, f0 / 2, 0.25f);
  w = LowpassPeriodic(w, 4500, 1.2, kRate);
  Normalise(w);
  xmw::Sample s = MakeSample("saw lead", w, true, kRate, f0, 49);
  SetLoop(s, 0, loop, 1);
  xmw::Instrument ins = One("saw lead", s, 44);
  ins.volumeEnvelope = Env({{0, 44}, {2, 64}, {14, 52}, {50, 46}}, kOn | kSustain, 3);
  ins.fadeout = 2500;
  return ins;
}

xmw::Instrument MakeLeadSoft() {
  const int loop = 2048;
  const double f0 = Periodic(NoteHz(61), kRate, loop);
  Wave w(loop);
  for (int h = 1; h * f0 < kRate * 0.45; h += 2) AddSine(w, kRate, h * f0, 1.0f / (h * h));
  AddSine(w, kRate, 2 * f0, 0.08f);
  Normalise(w);
  xmw::Sample s = MakeSample("soft lead", w, true, kRate, f0, 61);
  SetLoop(s, 0, loop, 1);
  xmw::Instrument ins = One("soft lead", s, 46);
  ins.volumeEnvelope = Env({{0, 0}, {4, 64}, {24, 56}}, kOn | kSustain, 2);
  ins.fadeout = 1800;
  return ins;
}

xmw::Instrument MakeStab() {
  // Root, fifth, octave and twelfth: fits over any chord the song uses.
  Wave w(Frames(0.55));
  const double f0 = NoteHz(37);
  Wave raw(w.size());
  for (double r : {1.0, 1.4983, 2.0, 2.9966}) AddSaw(raw, kRate, f0 * r, 0.4f, r);
  Svf f;
  for (size_t i = 0; i < w.size(); i++) {
    const double t = i / kRate;
    f.Set(300 + 5000 * std::exp(-t * 12), 2.0, kRate);
    w[i] = static_cast<float>(f.Low(raw[i]) * std::exp(-t * 4) * std::min(1.0, t * 2000));
  }
  FadeOut(w, 1500);
  Normalise(w);
  return One("stab", MakeSample("stab", w, true, kRate, f0, 37), 44);
}

xmw::Instrument MakeOrgan() {
  const int loop = 1024;
  const double f0 = Periodic(NoteHz(49), kRate, loop);
  Wave w(loop);
  const double bars[][2] = {{0.5, 0.5}, {1, 1}, {2, 0.7}, {3, 0.45}, {4, 0.4}, {6, 0.2}, {8, 0.25}};
  for (const auto& b : bars) AddSine(w, kRate, f0 * b[0], static_cast<float>(b[1]));
  Normalise(w);
  xmw::Sample s = MakeSample("organ", w, false, kRate, f0, 49);
  SetLoop(s, 0, loop, 1);
  xmw::Instrument ins = One("organ", s, 36);
  ins.volumeEnvelope = Env({{0, 64}, {3, 64}}, kOn | kSustain, 1);
  ins.fadeout = 5000;
  return ins;
}

xmw::Instrument MakeEPiano() {
  const int attack = Frames(0.45);
  const int loop = 4096;
  const double f0 = Periodic(NoteHz(49), kRate, loop);
  Wave w(attack + loop);
  for (int i = 0; i < attack + loop; i++) {
    const double t = std::min(i, attack) / kRate;  // from the loop on, the tone stands still
    const double tt = i / kRate;
    const double index = 0.35 + 1.8 * std::exp(-t * 7);
    const double amp = 0.45 + 0.55 * std::exp(-t * 6);
    const double tine = 0.25 * std::sin(kTwoPi * f0 * 14 * tt) * std::exp(-tt * 40);
    w[i] = static_cast<float>(amp * std::sin(kTwoPi * f0 * tt + index * std::sin(kTwoPi * f0 * tt)) +
                              tine);
  }
  Normalise(w);
  xmw::Sample s = MakeSample("e-piano", w, true, kRate, f0, 49);
  SetLoop(s, attack, loop, 1);
  xmw::Instrument ins = One("e-piano", s, 48);
  ins.volumeEnvelope = Env({{0, 64}, {30, 46}, {150, 24}, {400, 0}}, kOn);
  ins.fadeout = 1400;
  return ins;
}

xmw::Instrument MakeMallet() {
  const double f0 = NoteHz(61);
  Wave w(Frames(0.6));
  for (size_t i = 0; i < w.size(); i++) {
    const double t = i / kRate;
    w[i] = static_cast<float>((std::sin(kTwoPi * f0 * t) * std::exp(-t * 6) +
                               0.35 * std::sin(kTwoPi * f0 * 3.93 * t) * std::exp(-t * 30) +
                               0.15 * std::sin(kTwoPi * f0 * 9.2 * t) * std::exp(-t * 60)) *
                              std::min(1.0, t * 3000));
  }
  FadeOut(w, 1500);
  Normalise(w);
  return One("mallet", MakeSample("mallet", w, true, kRate, f0, 61), 50);
}

xmw::Instrument MakeArp() {
  const int loop = 2048;
  const double f0 = Periodic(NoteHz(49), kRate, loop);
  Wave w(loop);
  // 25% pulse from two saws a quarter cycle apart.
  AddSaw(w, kRate, f0, 1.0f);
  AddSaw(w, kRate, f0, -1.0f, kTwoPi * 0.25);
  w = LowpassPeriodic(w, 3200, 1.5, kRate);
  Normalise(w);
  xmw::Sample s = MakeSample("pulse arp", w, false, kRate, f0, 49);
  SetLoop(s, 0, loop, 1);
  xmw::Instrument ins = One("pulse arp", s, 40);
  ins.volumeEnvelope = Env({{0, 64}, {4, 40}, {12, 20}, {40, 0}}, kOn);
  ins.fadeout = 4000;
  return ins;
}

// ---- colour --------------------------------------------------------------------------

xmw::Instrument MakeRiser() {
  const int frames = Frames(3.1, kLowRate);
  Wave w(frames);
  Rng rng(1234);
  Svf f;
  double phase = 0;
  for (int i = 0; i < frames; i++) {
    const double x = static_cast<double>(i) / frames;  // 0..1 over the rise
    f.Set(200 * std::pow(35.0, x), 4, kLowRate);
    f.Low(rng.Bipolar());
    phase += kTwoPi * (110 * std::pow(8.0, x)) / kLowRate;
    const double saw = 2 * (phase / kTwoPi - std::floor(phase / kTwoPi)) - 1;
    w[i] = static_cast<float>((f.band * 1.2 + 0.25 * saw) * x * x);
  }
  FadeOut(w, 100);
  Normalise(w);
  return One("riser", MakeSample("riser", w, false, kLowRate, NoteHz(49), 49), 48);
}

xmw::Instrument MakeDowner() {
  const int frames = Frames(1.6, kLowRate);
  Wave w(frames);
  Rng rng(4321);
  Svf f;
  for (int i = 0; i < frames; i++) {
    const double x = static_cast<double>(i) / frames;
    f.Set(6000 * std::pow(0.02, x), 2, kLowRate);
    w[i] = static_cast<float>(f.Low(rng.Bipolar()) * (1 - x) * std::min(1.0, x * 200));
  }
  Normalise(w);
  return One("downlifter", MakeSample("downlifter", w, false, kLowRate, NoteHz(49), 49), 44);
}

xmw::Instrument MakeDrop() {
  const double f0 = NoteHz(61);
  Wave w(Frames(0.22));
  double phase = 0;
  for (size_t i = 0; i < w.size(); i++) {
    const double t = i / kRate;
    phase += kTwoPi * f0 * (0.7 + 1.6 * (1 - std::exp(-t * 25))) / kRate;  // the plop bends up
    w[i] = static_cast<float>(std::sin(phase) * std::exp(-t * 16) * std::min(1.0, t * 1500));
  }
  Normalise(w);
  return One("water drop", MakeSample("water drop", w, true, kRate, f0, 61), 44);
}

xmw::Instrument MakeZap() {
  Wave w(Frames(0.3));
  double phase = 0;
  for (size_t i = 0; i < w.size(); i++) {
    const double t = i / kRate;
    phase += kTwoPi * (90 + 2400 * std::exp(-t * 22)) / kRate;
    w[i] = static_cast<float>(SoftClip(static_cast<float>(2 * std::sin(phase))) * std::exp(-t * 9));
  }
  Normalise(w);
  return One("zap", MakeSample("zap", w, true, kRate, NoteHz(49), 49), 36);
}

}  // namespace

std::vector<xmw::Instrument> BuildInstruments() {
  std::vector<xmw::Instrument> v = {
      MakeKick(),  MakeSnare(), MakeClap(),     MakeHat(false), MakeHat(true), MakeRide(),
      MakeTom(),   MakeCrash(), MakeBass(),     MakeAcid(),     MakeSub(),     MakePad(),
      MakeStrings(), MakeChoir(), MakePluck(),  MakeBell(),     MakeLeadSaw(), MakeLeadSoft(),
      MakeStab(),  MakeOrgan(), MakeEPiano(),   MakeMallet(),   MakeRiser(),   MakeDowner(),
      MakeDrop(),  MakeZap(),   MakeWind(),     MakeRevCymbal(), MakeShaker(), MakeArp(),
      MakeGlass(), MakeImpact()};
  return v;
}

}  // namespace song
