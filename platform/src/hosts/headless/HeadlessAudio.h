// The headless host's sound devices: threads on the virtual clock that play at their rate and
// keep every byte they played, or hand it to a tool's sink as it plays.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "Audio.h"

namespace vemora::platform {

// A stretch of sound as it played, valid during the sink's call.
struct PlayedSound {
  int stream = 0;          // the device, in opening order
  std::uint64_t atUs = 0;  // virtual time at which its first frame played
  AudioFormatInfo format{};
  const std::uint8_t* bytes = nullptr;
  std::size_t size = 0;
};
using SoundSink = std::function<void(const PlayedSound&)>;

// What one opened device played.
struct AudioRecording {
  AudioFormatInfo format{};
  int stream = 0;  // opening order
  SoundSink sink;  // set when the device opened with a tool's sink: the bytes go there, not kept
  std::vector<std::uint8_t> bytes;
  std::uint64_t underruns = 0;
  bool closed = false;  // its device has ended: nothing appends any more
};

class HeadlessAudio {
 public:
  std::vector<std::string> DeviceNames();
  void SetDeviceNames(std::vector<std::string> names);
  // Devices opened from now on hand what they play to `sink`.
  void OnPlayed(SoundSink sink);
  AudioDevice* Open(const AudioFormatInfo& format, AudioSource* source);
  // Every recording so far, in opening order, with the lock held.
  void Read(const std::function<void(const std::vector<AudioRecording*>&)>& read);
  // Frees the recordings whose devices have ended (their run is over).
  void ReleaseClosed();

 private:
  std::mutex lock_;  // taken alone, never while another platform lock is needed
  std::vector<std::string> names_{"Virtual output"};
  std::vector<AudioRecording*> recordings_;
  SoundSink sink_;
};

}  // namespace vemora::platform
