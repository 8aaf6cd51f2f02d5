#include "Synth.h"

#include <algorithm>
#include <cmath>

namespace song {

double NoteHz(int note) { return 440.0 * std::pow(2.0, (note - 58) / 12.0); }

uint32_t Rng::Next() {
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return state_;
}

float Rng::Bipolar() { return static_cast<float>(Next() >> 8) / 8388608.0f - 1.0f; }
float Rng::Unit() { return static_cast<float>(Next() >> 8) / 16777216.0f; }

void Svf::Set(double cutoffHz, double q, double rate) {
  cutoffHz = std::clamp(cutoffHz, 10.0, rate * 0.45);
  g_ = std::tan(kPi * cutoffHz / rate);
  k_ = 1.0 / q;
  a1_ = 1.0 / (1.0 + g_ * (g_ + k_));
  a2_ = g_ * a1_;
  a3_ = g_ * a2_;
}

float Svf::Low(float x) {
  const double v3 = x - ic2_;
  const double v1 = a1_ * ic1_ + a2_ * v3;
  const double v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
  ic1_ = 2 * v1 - ic1_;
  ic2_ = 2 * v2 - ic2_;
  band = static_cast<float>(v1);
  high = static_cast<float>(x - k_ * v1 - v2);
  return static_cast<float>(v2);
}

namespace {
template <typename Coef>
void Additive(Wave& w, double rate, double hz, float amp, double phase, Coef coef) {
  const int top = static_cast<int>(rate * 0.45 / hz);
  for (int h = 1; h <= top; h++) {
    const double c = coef(h);
    if (c == 0) continue;
    const double inc = kTwoPi * hz * h / rate;
    for (size_t i = 0; i < w.size(); i++)
      w[i] += static_cast<float>(amp * c * std::sin(inc * i + phase * h));
  }
}
}  // namespace

void AddSaw(Wave& w, double rate, double hz, float amp, double phase) {
  Additive(w, rate, hz, amp, phase, [](int h) { return 0.6 / h * ((h & 1) ? 1 : -1); });
}

void AddSine(Wave& w, double rate, double hz, float amp, double phase) {
  const double inc = kTwoPi * hz / rate;
  for (size_t i = 0; i < w.size(); i++) w[i] += static_cast<float>(amp * std::sin(inc * i + phase));
}

void AddSquare(Wave& w, double rate, double hz, float amp, double phase) {
  Additive(w, rate, hz, amp, phase, [](int h) { return (h & 1) ? 0.8 / h : 0.0; });
}

double Periodic(double hz, double rate, int frames) {
  const double cycles = std::max(1.0, std::round(hz * frames / rate));
  return cycles * rate / frames;
}

void Normalise(Wave& w, float peak) {
  float m = 0;
  for (float v : w) m = std::max(m, std::fabs(v));
  if (m <= 0) return;
  for (float& v : w) v *= peak / m;
}

void FadeIn(Wave& w, int frames) {
  for (int i = 0; i < frames && i < static_cast<int>(w.size()); i++) w[i] *= static_cast<float>(i) / frames;
}

void FadeOut(Wave& w, int frames) {
  const int n = static_cast<int>(w.size());
  for (int i = 0; i < frames && i < n; i++) w[n - 1 - i] *= static_cast<float>(i) / frames;
}

float SoftClip(float x) { return static_cast<float>(std::tanh(x)); }

xmw::Sample MakeSample(const std::string& name, const Wave& w, bool sixteenBit, double rate,
                       double f0, int naturalNote) {
  xmw::Sample s;
  s.name = name;
  s.sixteenBit = sixteenBit;
  s.pcm.reserve(w.size());
  const float scale = sixteenBit ? 32767.0f : 127.0f;
  for (float v : w) {
    const float c = std::clamp(v, -1.0f, 1.0f) * scale;
    s.pcm.push_back(static_cast<int16_t>(std::lround(c)));
  }
  // Playback rate wanted at the natural note, in semitones above the C-4 rate of 8363 Hz.
  const double want = rate * NoteHz(naturalNote) / f0;
  const double semis = 12.0 * std::log2(want / 8363.0) - (naturalNote - 49);
  int rel = static_cast<int>(std::lround(semis));
  int fine = static_cast<int>(std::lround((semis - rel) * 128.0));
  if (fine > 127) { fine -= 128; rel++; }
  if (fine < -128) { fine += 128; rel--; }
  s.relativeNote = static_cast<int8_t>(rel);
  s.finetune = static_cast<int8_t>(fine);
  return s;
}

void SetLoop(xmw::Sample& s, uint32_t start, uint32_t length, uint8_t type) {
  s.loopStart = start;
  s.loopLength = length;
  s.loopType = type;
}

}  // namespace song
