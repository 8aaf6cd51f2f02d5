#include "WebAudio.h"

#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "PageCalls.h"
#include "SoundRing.h"

namespace vemora::platform {

namespace {

// The page has one AudioContext: one source at a time.
std::atomic<bool> pageSoundTaken{false};

// How far the ring is kept ahead of the worklet: enough for a worker that is late by a few
// animation frames, little enough that the heard sound follows the pictures closely.
constexpr int kLeadMs = 60;
// The wait for the worklet to take frames, after which the source is asked again anyway (a
// waveOut queue refilled while the ring still held enough).
constexpr double kFeedWaitMs = 5;

// A thread of its own pulls the source as the worklet takes frames, as a sound card's interrupt
// would, and writes 16-bit stereo to the ring.
class WebDevice final : public AudioDevice {
 public:
  WebDevice(const AudioFormatInfo& format, AudioSource* source)
      : format_(format),
        source_(source),
        lead_(static_cast<std::uint32_t>(format.rate) * kLeadMs / 1000 + 1),
        pulled_(static_cast<std::size_t>(lead_) * format.FrameBytes()),
        converted_(static_cast<std::size_t>(lead_) * 2) {
    ring_.Reset(std::bit_ceil(lead_ * 2));
    feeder_ = std::thread(&WebDevice::Feed, this);
  }

  void Run(bool on) override {
    std::lock_guard<std::mutex> guard(mutex_);
    running_ = on;
    if (!on) {
      ring_.Play(false);
      playing_ = false;
    }
    changed_.notify_all();
  }

  void Wake() override { changed_.notify_all(); }

  void Close() override {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      closing_ = true;
      changed_.notify_all();
    }
    feeder_.join();
    ring_.Play(false);
    web::CloseSound();
    pageSoundTaken = false;
  }

 private:
  void Feed() {
    std::unique_lock<std::mutex> held(mutex_);
    for (;;) {
      changed_.wait(held, [this] { return closing_ || running_; });
      if (closing_) return;
      const std::uint32_t queued = ring_.Queued();
      const bool dry = queued < lead_ && TopUp(held, lead_ - queued);
      // The worklet starts once the ring holds the lead, or all the source has: a source opened
      // before anything was queued (waveOut) is not an underrun.
      if (running_ && !playing_ && ring_.Queued() > 0 && (dry || ring_.Queued() >= lead_)) {
        ring_.Play(true);
        playing_ = true;
      }
      held.unlock();
      ring_.WaitUntilTaken(kFeedWaitMs);
      held.lock();
    }
  }

  // Up to `frames` frames from the source into the ring (mutex held, released while pulling);
  // true when the source had fewer.
  bool TopUp(std::unique_lock<std::mutex>& held, std::uint32_t frames) {
    held.unlock();
    const std::size_t frameBytes = static_cast<std::size_t>(format_.FrameBytes());
    const std::size_t got = source_->Pull(pulled_.data(), frames * frameBytes) / frameBytes;
    Convert(got);
    ring_.Write(converted_.data(), static_cast<std::uint32_t>(got));
    source_->Deliver();
    held.lock();
    return got < frames;
  }

  // `frames` pulled frames as 16-bit stereo; 8-bit samples are unsigned around 128.
  void Convert(std::size_t frames) {
    const std::size_t samples = frames * static_cast<std::size_t>(format_.channels);
    for (std::size_t i = 0; i < samples; ++i) {
      std::int16_t sample;
      if (format_.bits == 8) {
        sample = static_cast<std::int16_t>((pulled_[i] - 128) * 256);
      } else {
        std::memcpy(&sample, &pulled_[i * 2], sizeof sample);
      }
      if (format_.channels == 1) {
        converted_[i * 2] = converted_[i * 2 + 1] = sample;
      } else {
        converted_[i] = sample;
      }
    }
  }

  AudioFormatInfo format_;
  AudioSource* source_;
  std::uint32_t lead_;
  std::vector<std::uint8_t> pulled_;
  std::vector<std::int16_t> converted_;
  web::SoundRing ring_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool running_ = false;
  bool playing_ = false;  // the worklet takes from the ring
  bool closing_ = false;
  std::thread feeder_;
};

}  // namespace

AudioDevice* OpenWebAudio(const AudioFormatInfo& format, AudioSource* source) {
  if (pageSoundTaken.exchange(true)) return nullptr;
  if (!web::OpenSound(static_cast<std::uint32_t>(format.rate))) {
    pageSoundTaken = false;
    return nullptr;
  }
  return new WebDevice(format, source);
}

}  // namespace vemora::platform
