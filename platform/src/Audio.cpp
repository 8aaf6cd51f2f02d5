// The audio devices of both hosts, and the switches tests use to make audio calls fail.
#include "Audio.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "Core.h"
#include "Host.h"
#include "testing.h"

namespace vemora::platform {

AudioTestState& AudioTest() {
  // Never destroyed: devices of an abandoned run may still append to their recordings.
  static auto* state = new AudioTestState;
  return *state;
}

void ResetAudioTestState() {
  AudioTestState& state = AudioTest();
  std::lock_guard<std::mutex> guard(state.lock);
  state.faults = AudioFaults{};
  state.headlessDevices = {"Virtual output"};
  state.sink = nullptr;
  for (AudioRecording* recording : state.recordings) {
    if (recording->closed)
      delete recording;
    else
      state.retired.push_back(recording);  // a device of an abandoned run may still append
  }
  state.recordings.clear();
}

bool TakeFault(int AudioFaults::*counter) {
  AudioTestState& state = AudioTest();
  std::lock_guard<std::mutex> guard(state.lock);
  if (state.faults.*counter <= 0) return false;
  --(state.faults.*counter);
  return true;
}

bool FaultOn(bool AudioFaults::*flag) {
  AudioTestState& state = AudioTest();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.faults.*flag;
}

void HangForever() {
  std::unique_lock<std::mutex> held(Global().lock);
  Thread& self = Self(held);
  WaitUntil(held, self, nullptr, 0, false, 0, kNoDeadline);
  Fatal("a hung audio call returned");
}

bool ValidPcm(int formatTag, int channels, int bits, int rate, int blockAlign) {
  return formatTag == 1 && (channels == 1 || channels == 2) && (bits == 8 || bits == 16) && rate >= kMinAudioRate &&
         rate <= kMaxAudioRate && blockAlign == channels * bits / 8;
}

namespace {

// --- Headless: a device thread on the virtual clock. It plays frames as time passes, wakes at
// the time the source next has something to report, and keeps every byte it played.
class HeadlessDevice final : public AudioDevice {
 public:
  HeadlessDevice(const AudioFormatInfo& format, AudioSource* source, AudioRecording* recording)
      : format_(format), source_(source), recording_(recording) {}

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
    AudioTestState& state = AudioTest();
    std::lock_guard<std::mutex> guard(state.lock);
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
    testing::PlayedChunk played;
    played.stream = recording_->stream;
    played.atUs = anchorUs_ + (playedFrames_ - anchorFrames_) * 1000000 / rate;
    played.rate = format_.rate;
    played.channels = format_.channels;
    played.bits = format_.bits;
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

// --- SDL: one audio device per open driver; SDL converts to what the hardware plays.
class SdlDevice final : public AudioDevice {
 public:
  SdlDevice(AudioSource* source, int frameBytes) : source_(source), frameBytes_(frameBytes) {}

  bool Open(const char* name, const AudioFormatInfo& format) {
    SDL_AudioSpec want{};
    want.freq = format.rate;
    want.format = format.bits == 16 ? AUDIO_S16LSB : AUDIO_U8;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = 1024;
    want.callback = Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    silence_ = format.bits == 16 ? 0 : 0x80;
    return device_ != 0;
  }

  void Run(bool on) override { SDL_PauseAudioDevice(device_, on ? 0 : 1); }
  void Wake() override {}
  void Close() override { SDL_CloseAudioDevice(device_); }

 private:
  static void SDLCALL Callback(void* user, Uint8* stream, int length) {
    auto* self = static_cast<SdlDevice*>(user);
    std::size_t got = self->source_->Pull(stream, static_cast<std::size_t>(length));
    got -= got % static_cast<std::size_t>(self->frameBytes_);
    std::memset(stream + got, self->silence_, static_cast<std::size_t>(length) - got);
    self->source_->Deliver();
  }

  AudioSource* source_;
  int frameBytes_;
  SDL_AudioDeviceID device_ = 0;
  Uint8 silence_ = 0;
};

bool SdlAudioReady() {
  static bool ready = SDL_WasInit(SDL_INIT_AUDIO) != 0 || SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  return ready;
}

}  // namespace

AudioDevice* OpenHeadlessAudio(const AudioFormatInfo& format, AudioSource* source) {
  auto* recording = new AudioRecording;
  recording->format = format;
  AudioTestState& state = AudioTest();
  {
    std::lock_guard<std::mutex> guard(state.lock);
    recording->stream = static_cast<int>(state.recordings.size());
    recording->sink = state.sink;
  }
  auto* device = new HeadlessDevice(format, source, recording);
  if (!device->Start()) {
    delete device;
    delete recording;
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(state.lock);
  state.recordings.push_back(recording);
  return device;
}

std::vector<std::string> SdlAudioDeviceNames() {
  std::vector<std::string> names;
  if (!SdlAudioReady()) return names;
  int count = SDL_GetNumAudioDevices(0);
  for (int i = 0; i < count; ++i) {
    const char* name = SDL_GetAudioDeviceName(i, 0);
    names.push_back(name != nullptr ? name : "");
  }
  return names;
}

AudioDevice* OpenSdlAudio(int device, const AudioFormatInfo& format, AudioSource* source) {
  if (!SdlAudioReady()) return nullptr;
  const char* name = device >= 0 ? SDL_GetAudioDeviceName(device, 0) : nullptr;
  auto* sdl = new SdlDevice(source, format.FrameBytes());
  if (!sdl->Open(name, format)) {
    delete sdl;
    return nullptr;
  }
  return sdl;
}

}  // namespace vemora::platform

namespace vemora::testing {

using namespace vemora::platform;

namespace {
template <typename F>
void WithState(F change) {
  AudioTestState& state = AudioTest();
  std::lock_guard<std::mutex> guard(state.lock);
  change(state);
}
}  // namespace

void SetAudioDevices(std::vector<std::string> names) {
  WithState([&](AudioTestState& s) { s.headlessDevices = std::move(names); });
}

std::vector<PlayedAudio> PlayedAudioStreams() {
  // The devices append under the platform lock's protection of the scheduler: only one
  // headless thread runs at a time, and this one is running.
  std::vector<PlayedAudio> streams;
  WithState([&](AudioTestState& s) {
    for (const AudioRecording* r : s.recordings) {
      PlayedAudio played;
      played.rate = r->format.rate;
      played.channels = r->format.channels;
      played.bits = r->format.bits;
      played.bytes = r->bytes;
      played.underruns = r->underruns;
      streams.push_back(std::move(played));
    }
  });
  return streams;
}

void OnPlayedAudio(std::function<void(const PlayedChunk&)> sink) {
  WithState([&](AudioTestState& s) { s.sink = std::move(sink); });
}

void FailWaveOutOpen(int times) {
  WithState([&](AudioTestState& s) { s.faults.failWaveOutOpen = times; });
}
void RefuseDirectSoundPriority(bool refuse) {
  WithState([&](AudioTestState& s) { s.faults.refusePriority = refuse; });
}
void LoseSoundBufferAtPlay(int times) {
  WithState([&](AudioTestState& s) { s.faults.loseAtPlay = times; });
}
void LoseSoundBufferAtLock(int times) {
  WithState([&](AudioTestState& s) { s.faults.loseAtLock = times; });
}
void FailSoundBufferRestore(int times) {
  WithState([&](AudioTestState& s) { s.faults.failRestore = times; });
}
void HangAudioWrites(bool hang) {
  WithState([&](AudioTestState& s) { s.faults.hangWrites = hang; });
}

}  // namespace vemora::testing
