// The web host's sound device: the page's Web Audio, fed through the sound ring that its audio
// worklet plays.
#pragma once

#include "Audio.h"

namespace vemora::platform {

// The one device both drivers list.
constexpr const char* kWebAudioDevice = "Web Audio";

// The page's audio playing `source`, created stopped; null when the browser refuses the rate or
// the page's audio already plays another source (lock not held).
AudioDevice* OpenWebAudio(const AudioFormatInfo& format, AudioSource* source);

}  // namespace vemora::platform
