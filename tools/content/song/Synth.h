// Small, deterministic sound-design toolkit: everything in the song starts here.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "XmWriter.h"

namespace song {

using Wave = std::vector<float>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// XM note number (1 = C-0, 49 = C-4, 58 = A-4) to concert pitch.
double NoteHz(int note);

// xorshift32: the same stream on every host.
class Rng {
 public:
  explicit Rng(uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
  uint32_t Next();
  float Bipolar();  // -1..1
  float Unit();     // 0..1
 private:
  uint32_t state_;
};

// Topology-preserving state-variable filter; cutoff may change every sample.
class Svf {
 public:
  void Set(double cutoffHz, double q, double rate);
  float Low(float x);   // returns the low-pass output, updates band/high
  float band = 0, high = 0;
 private:
  double g_ = 0, k_ = 1, a1_ = 0, a2_ = 0, a3_ = 0;
  double ic1_ = 0, ic2_ = 0;
};

struct OnePole {
  float z = 0;
  float Low(float x, float a) { z += a * (x - z); return z; }
};

// A band-limited sawtooth built from harmonics, exactly periodic over `frames` when
// cycles is a whole number: loops built from it click nowhere.
void AddSaw(Wave& w, double rate, double hz, float amp, double phase = 0);
void AddSine(Wave& w, double rate, double hz, float amp, double phase = 0);
void AddSquare(Wave& w, double rate, double hz, float amp, double phase = 0);

// Frequency with a whole number of cycles in `frames` samples, nearest to hz.
double Periodic(double hz, double rate, int frames);

void Normalise(Wave& w, float peak = 1.0f);
void FadeIn(Wave& w, int frames);
void FadeOut(Wave& w, int frames);
float SoftClip(float x);

// Makes a sample whose note `naturalNote` sounds at its concert pitch given that the wave's
// fundamental is f0 at `rate`. For unpitched sounds pass NoteHz(naturalNote) as f0.
xmw::Sample MakeSample(const std::string& name, const Wave& w, bool sixteenBit, double rate,
                       double f0, int naturalNote);

void SetLoop(xmw::Sample& s, uint32_t start, uint32_t length, uint8_t type);

}  // namespace song
