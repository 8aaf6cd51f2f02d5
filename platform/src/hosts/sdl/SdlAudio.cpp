#include "SdlAudio.h"

#include <SDL.h>

#include <cstring>

namespace vemora::platform {

namespace {

// One SDL audio device per open driver; SDL converts to what the hardware plays.
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
