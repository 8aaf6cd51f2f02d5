#include "SoundRing.h"

#include <emscripten/threading.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "PageLink.h"

namespace web {
namespace {

std::int16_t ring[kSoundRingFrames * 2];

}  // namespace

void SoundRing::Reset(std::uint32_t capacity) {
  PageLink& link = Link();
  link.soundPlaying = 0;
  // The counts wrap at 2^32, so only a power of two keeps every frame in its place across the wrap.
  link.soundCapacity = std::bit_ceil(std::clamp(capacity, 1u, kSoundRingFrames));
  link.soundSamples = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(ring));
  link.soundRead.store(link.soundWritten.load());
}

std::uint32_t SoundRing::Queued() const {
  const PageLink& link = Link();
  return link.soundWritten.load(std::memory_order_relaxed) - link.soundRead.load(std::memory_order_acquire);
}

std::uint32_t SoundRing::Free() const { return Link().soundCapacity - Queued(); }

std::uint32_t SoundRing::Write(const std::int16_t* pcm, std::uint32_t frames) {
  PageLink& link = Link();
  const std::uint32_t count = std::min(frames, Free());
  const std::uint32_t capacity = link.soundCapacity;
  const std::uint32_t written = link.soundWritten.load(std::memory_order_relaxed);
  for (std::uint32_t done = 0; done < count;) {
    const std::uint32_t at = (written + done) % capacity;
    const std::uint32_t run = std::min(count - done, capacity - at);
    std::memcpy(ring + at * 2, pcm + done * 2, run * 4);
    done += run;
  }
  link.soundWritten.store(written + count, std::memory_order_release);
  Checkpoint(pcm, count);
  return count;
}

// The tap skips silent frames (it cannot tell the worklet's silence from the program's), so the
// hash covers the non-silent frames only.
void SoundRing::Checkpoint(const std::int16_t* pcm, std::uint32_t frames) {
  for (std::uint32_t i = 0; i < frames; i++) {
    if (pcm[i * 2] == 0 && pcm[i * 2 + 1] == 0) continue;
    hash_ = Hash(hash_, reinterpret_cast<const std::uint8_t*>(pcm + i * 2), 4);
    hashedFrames_++;
  }
  PageLink& link = Link();
  const std::uint32_t n = link.checkpointCount.load(std::memory_order_relaxed);
  link.checkpoints[n % kSoundCheckpoints] = {hashedFrames_, hash_};
  link.checkpointCount.store(n + 1, std::memory_order_release);
}

void SoundRing::WaitUntilTaken(double milliseconds) const {
  PageLink& link = Link();
  emscripten_futex_wait(&link.soundRead, link.soundRead.load(), milliseconds);
}

void SoundRing::Play(bool playing) { Link().soundPlaying.store(playing ? 1 : 0); }

}  // namespace web
