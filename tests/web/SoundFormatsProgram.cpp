// A program on the web host for the page's tests: one second of a known pattern through waveOut in
// the format its arguments name (--bits 8|16, --channels 1|2), then the FNV-1a of what a listener
// should receive: the pattern as 16-bit stereo frames, the ones silent on both sides left out, as
// the page's tap leaves them out. It also tries a second device while the first is open.
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PageLink.h"
#include "host.h"
#include "src/hosts/web/WebHost.h"

namespace {

constexpr DWORD kRate = 48000;

// Sample `i` of channel `channel`, in the format's own coding.
int Sample(int bits, std::uint32_t i, int channel) {
  if (bits == 8) return static_cast<int>((i * 7 + channel * 50) % 256);
  return static_cast<int>((i * 37 + channel * 1000) % 60000) - 30000;
}

std::vector<std::uint8_t> Pattern(int bits, int channels) {
  std::vector<std::uint8_t> pcm;
  for (std::uint32_t i = 0; i < kRate; ++i) {
    for (int channel = 0; channel < channels; ++channel) {
      const int sample = Sample(bits, i, channel);
      pcm.push_back(static_cast<std::uint8_t>(sample & 0xFF));
      if (bits == 16) pcm.push_back(static_cast<std::uint8_t>((sample >> 8) & 0xFF));
    }
  }
  return pcm;
}

// What should reach the listener: 8-bit samples are unsigned around 128, and one channel plays on both sides.
std::uint32_t HeardHash(int bits, int channels, std::uint32_t& frames) {
  std::uint32_t hash = web::kHashStart;
  frames = 0;
  for (std::uint32_t i = 0; i < kRate; ++i) {
    std::int16_t stereo[2];
    for (int side = 0; side < 2; ++side) {
      const int sample = Sample(bits, i, channels == 1 ? 0 : side);
      stereo[side] = static_cast<std::int16_t>(bits == 8 ? (sample - 128) * 256 : sample);
    }
    if (stereo[0] == 0 && stereo[1] == 0) continue;
    hash = web::Hash(hash, reinterpret_cast<const std::uint8_t*>(stereo), sizeof stereo);
    ++frames;
  }
  return hash;
}

}  // namespace

int main(int argc, char** argv) {
  int bits = 16, channels = 2;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--bits") == 0) bits = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--channels") == 0) channels = std::atoi(argv[i + 1]);
  }
  vemora::host::StartOnFirstCall(vemora::platform::CreateWebHost);
  const WORD block = static_cast<WORD>(channels * bits / 8);
  WAVEFORMATEX format{WAVE_FORMAT_PCM, static_cast<WORD>(channels), kRate, kRate * block, block,
                      static_cast<WORD>(bits), 0};
  HWAVEOUT wave = nullptr;
  if (waveOutOpen(&wave, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    std::puts("waveOutOpen failed");
    return 1;
  }
  // The page has one AudioContext: a second device while this one is open is refused.
  HWAVEOUT second = nullptr;
  std::printf("second device: %u\n", waveOutOpen(&second, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL));
  std::vector<std::uint8_t> pcm = Pattern(bits, channels);
  WAVEHDR header{};
  header.lpData = reinterpret_cast<LPSTR>(pcm.data());
  header.dwBufferLength = static_cast<DWORD>(pcm.size());
  waveOutPrepareHeader(wave, &header, sizeof header);
  waveOutWrite(wave, &header, sizeof header);
  while (!(header.dwFlags & WHDR_DONE)) Sleep(20);
  Sleep(500);  // what the ring still holds reaches the listener
  waveOutUnprepareHeader(wave, &header, sizeof header);
  waveOutClose(wave);
  std::uint32_t frames = 0;
  const std::uint32_t hash = HeardHash(bits, channels, frames);
  std::printf("heard %u frames %u\n", frames, hash);
  return 0;
}
