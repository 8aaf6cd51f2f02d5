// The SDL host's sound devices: SDL's output devices, each open driver on one of them.
#pragma once

#include <string>
#include <vector>

#include "Audio.h"

namespace vemora::platform {

std::vector<std::string> SdlAudioDeviceNames();
// `device` -1: SDL's default device.
AudioDevice* OpenSdlAudio(int device, const AudioFormatInfo& format, AudioSource* source);

}  // namespace vemora::platform
