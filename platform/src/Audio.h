// Sound shared by waveOut and DirectSound: a source of PCM (a waveOut queue, a sound buffer)
// played by one device of the host, and the switches tests use to make sound calls fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vemora::platform {

struct AudioFormatInfo {
  int rate;
  int channels;
  int bits;
  int FrameBytes() const { return channels * bits / 8; }
};

// Rates outside what real devices offer are refused by both drivers.
constexpr int kMinAudioRate = 100;
constexpr int kMaxAudioRate = 200000;

// Implemented by the drivers. Pull and Deliver run on the device's own thread only.
class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Copies up to `bytes` bytes of what plays next; fewer means nothing more is queued.
  virtual std::size_t Pull(std::uint8_t* out, std::size_t bytes) = 0;
  // Bytes that can play before the source has something to report; 0 when nothing is queued.
  virtual std::size_t BytesToNextEvent() = 0;
  // Reports what Pull finished (buffers done, positions passed); no lock is held.
  virtual void Deliver() = 0;
};

// A device of the host playing one source. Created stopped.
class AudioDevice {
 public:
  virtual ~AudioDevice() = default;
  virtual void Run(bool on) = 0;
  // The source has more to play.
  virtual void Wake() = 0;
  // After return the source is never called again. Call without the platform lock.
  virtual void Close() = 0;
};

// The host's sound devices, as both drivers list them (lock not held).
std::vector<std::string> HostAudioDevices();

// Test switches: counts are used up by the calls they fail.
struct AudioFaults {
  int failWaveOutOpen = 0;
  bool refusePriority = false;
  int loseAtPlay = 0;
  int loseAtLock = 0;
  int failRestore = 0;
  bool hangWrites = false;
};
void ChangeAudioFaults(const std::function<void(AudioFaults&)>& change);
void ResetAudioFaults();
// Takes one count of a counted fault; true when the call must fail.
bool TakeFault(int AudioFaults::*counter);
bool FaultOn(bool AudioFaults::*flag);
// The caller blocks for ever (a driver that never returns); it holds no lock.
void HangForever();

bool ValidPcm(int formatTag, int channels, int bits, int rate, int blockAlign);

}  // namespace vemora::platform
