// The program's side of the sound ring that the page's audio worklet plays.
#pragma once

#include <cstdint>

#include "PageLink.h"

namespace web {

// The ring holds at most this many frames: more than a second at the highest rate a browser takes.
constexpr std::uint32_t kSoundRingFrames = 1u << 20;

class SoundRing {
 public:
  // Empties the ring, at least `capacity` frames deep (a power of two, at most kSoundRingFrames);
  // nothing plays until Play. Only while the page's audio is closed or paused.
  void Reset(std::uint32_t capacity);
  // Copies as many of `frames` 16-bit stereo frames as fit; returns how many.
  std::uint32_t Write(const std::int16_t* pcm, std::uint32_t frames);
  std::uint32_t Free() const;
  // Blocks until the worklet takes frames, or `milliseconds` have passed.
  void WaitUntilTaken(double milliseconds) const;
  // Paused, the worklet takes nothing from the ring and plays silence.
  void Play(bool playing);
  // Frames written and not yet taken by the worklet.
  std::uint32_t Queued() const;

 private:
  void Checkpoint(const std::int16_t* pcm, std::uint32_t frames);

  std::uint32_t hashedFrames_ = 0;
  std::uint32_t hash_ = kHashStart;
};

}  // namespace web
