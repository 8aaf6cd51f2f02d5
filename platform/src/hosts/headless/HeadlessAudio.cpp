#include "HeadlessAudio.h"

#include <windows.h>

#include <algorithm>

#include "Core.h"
#include "Host.h"

namespace vemora::platform {

namespace {

// A device thread on the virtual clock. It plays frames as time passes, wakes at
// the time the source next has something to report, and keeps every byte it played.
class HeadlessDevice final : public AudioDevice {
 public:
  HeadlessDevice(const AudioFormatInfo& format, AudioSource* source, AudioRecording* recording,
                 std::mutex& recordingsLock)
      : format_(format), source_(source), recording_(recording), recordingsLock_(recordingsLock) {}

  bool Start() {
    wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (wake_ == nullptr) return false;
    thread_ = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
    if (thread_ == nullptr) {
      CloseHandle(wake_);
      return false;
    }
    return true;
  }

  void Run(bool on) override {
    std::lock_guard<std::mutex> guard(mutex_);
    std::uint64_t now = Now();
    if (on == running_) return;
    if (!on) PlayUntil(now);  // what played up to the pause is kept
    running_ = on;
    flowing_ = false;
    SetEvent(wake_);
  }

  void Wake() override { SetEvent(wake_); }

  void Close() override {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      closing_ = true;
    }
    SetEvent(wake_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(wake_);
    std::lock_guard<std::mutex> guard(recordingsLock_);
    recording_->closed = true;
  }

 private:
  static std::uint64_t Now() {
    std::unique_lock<std::mutex> held(Global().lock);
    return CurrentHost().NowUs();
  }

  static DWORD WINAPI ThreadProc(LPVOID parameter) { return static_cast<HeadlessDevice*>(parameter)->Loop(); }

  // Frames that have played by `time` since the last anchor (mutex held).
  void PlayUntil(std::uint64_t time) {
    if (!running_) return;
    const std::size_t frameBytes = format_.FrameBytes();
    if (!flowing_) {
      if (source_->BytesToNextEvent() == 0) return;
      flowing_ = true;
      anchorUs_ = time;
      anchorFrames_ = playedFrames_;
    }
    const std::uint64_t target =
        anchorFrames_ + (time - anchorUs_) * static_cast<std::uint64_t>(format_.rate) / 1000000;
    while (playedFrames_ < target) {
      std::size_t frames = static_cast<std::size_t>(std::min<std::uint64_t>(target - playedFrames_, 4096));
      chunk_.resize(frames * frameBytes);
      std::size_t got = source_->Pull(chunk_.data(), chunk_.size()) / frameBytes;
      Keep(got * frameBytes);
      playedFrames_ += got;
      if (got < frames) {
        // Ran dry: the device idles until more arrives; the gap is not played.
        ++recording_->underruns;
        flowing_ = false;
        return;
      }
    }
  }

  // Hands what was just pulled into chunk_ to the tool's sink, or keeps it (mutex held).
  void Keep(std::size_t bytes) {
    if (!recording_->sink) {
      recording_->bytes.insert(recording_->bytes.end(), chunk_.begin(), chunk_.begin() + bytes);
      return;
    }
    if (bytes == 0) return;
    const std::uint64_t rate = static_cast<std::uint64_t>(format_.rate);
    PlayedSound played;
    played.stream = recording_->stream;
    played.atUs = anchorUs_ + (playedFrames_ - anchorFrames_) * 1000000 / rate;
    played.format = format_;
    played.bytes = chunk_.data();
    played.size = bytes;
    recording_->sink(played);
  }

  // When the source next has something to report, or no deadline (mutex held).
  std::uint64_t NextDeadline() {
    if (!running_ || !flowing_) return kNoDeadline;
    std::size_t bytes = source_->BytesToNextEvent();
    if (bytes == 0) {
      flowing_ = false;
      return kNoDeadline;
    }
    std::uint64_t frames = playedFrames_ - anchorFrames_ + (bytes + format_.FrameBytes() - 1) / format_.FrameBytes();
    std::uint64_t rate = static_cast<std::uint64_t>(format_.rate);
    return anchorUs_ + (frames * 1000000 + rate - 1) / rate;
  }

  DWORD Loop() {
    for (;;) {
      std::uint64_t deadline;
      {
        std::lock_guard<std::mutex> guard(mutex_);
        if (closing_) break;
        PlayUntil(Now());
      }
      source_->Deliver();
      {
        std::lock_guard<std::mutex> guard(mutex_);
        if (closing_) break;
        PlayUntil(Now());  // a source that was idle may have been refilled meanwhile
        deadline = NextDeadline();
      }
      std::unique_lock<std::mutex> held(Global().lock);
      WaitUntil(held, Self(held), &wake_, 1, false, 0, deadline);
    }
    source_->Deliver();
    return 0;
  }

  AudioFormatInfo format_;
  AudioSource* source_;
  AudioRecording* recording_;
  std::mutex& recordingsLock_;
  HANDLE wake_ = nullptr;
  HANDLE thread_ = nullptr;
  std::mutex mutex_;  // order: this, then the source's own lock
  bool running_ = false;
  bool flowing_ = false;
  bool closing_ = false;
  std::uint64_t anchorUs_ = 0;
  std::uint64_t anchorFrames_ = 0;
  std::uint64_t playedFrames_ = 0;
  std::vector<std::uint8_t> chunk_;
};

}  // namespace

std::vector<std::string> HeadlessAudio::DeviceNames() {
  std::lock_guard<std::mutex> guard(lock_);
  return names_;
}

void HeadlessAudio::SetDeviceNames(std::vector<std::string> names) {
  std::lock_guard<std::mutex> guard(lock_);
  names_ = std::move(names);
}

void HeadlessAudio::OnPlayed(SoundSink sink) {
  std::lock_guard<std::mutex> guard(lock_);
  sink_ = std::move(sink);
}

AudioDevice* HeadlessAudio::Open(const AudioFormatInfo& format, AudioSource* source) {
  auto* recording = new AudioRecording;
  recording->format = format;
  {
    std::lock_guard<std::mutex> guard(lock_);
    recording->stream = static_cast<int>(recordings_.size());
    recording->sink = sink_;
  }
  auto* device = new HeadlessDevice(format, source, recording, lock_);
  if (!device->Start()) {
    delete device;
    delete recording;
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(lock_);
  recordings_.push_back(recording);
  return device;
}

void HeadlessAudio::Read(const std::function<void(const std::vector<AudioRecording*>&)>& read) {
  std::lock_guard<std::mutex> guard(lock_);
  read(recordings_);
}

void HeadlessAudio::ReleaseClosed() {
  std::lock_guard<std::mutex> guard(lock_);
  // A device of an abandoned run that is still open may append to its recording: that one stays.
  std::erase_if(recordings_, [](AudioRecording* recording) {
    if (!recording->closed) return false;
    delete recording;
    return true;
  });
}

}  // namespace vemora::platform
