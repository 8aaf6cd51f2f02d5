#include "SoundFile.h"

#include "app/Settings.h"

namespace capture {

SoundFile::~SoundFile() {
  if (pcm_) std::fclose(pcm_);
}

void SoundFile::Begin() {
  const bool failed = kind_ == Kind::Wav ? wav_.Open(path_) : (pcm_ = std::fopen(path_.c_str(), "wb")) == nullptr;
  if (failed) Fail(path_ + ": cannot write");
  created_ = !failed;
}

void SoundFile::Sound(const SoundEvent& sound) {
  if (failed()) return;
  if (sound.channels != 2 || sound.bits != 16 || (rate_ != 0 && sound.rate != rate_)) {
    Fail(path_ + ": the device played a format other than 16-bit stereo at one rate");
    return;
  }
  if (rate_ == 0) {
    rate_ = sound.rate;
    startUs_ = sound.atUs;
  }
  Append(sound);
}

void SoundFile::Append(const SoundEvent& sound) {
  if (kind_ == Kind::Pcm) {
    if (std::fwrite(sound.bytes, 1, sound.size, pcm_) != sound.size) Fail(path_ + ": cannot write");
    return;
  }
  wav_.Append(sound.bytes, sound.size);
  if (wav_.failed())
    Fail(path_ + ": cannot write");
  else if (wav_.full())
    // A recording that cannot hold the run is no recording of it: the run ends here.
    Fail(path_ + ": full at " + std::to_string(wav_.dataBytes()) +
         " bytes of sound, the most a WAV file can hold; the run ends there");
}

void SoundFile::Finish(uint64_t, bool ran) {
  bool failed;
  if (kind_ == Kind::Wav) {
    // Nothing played: the header still names the rate the dialog chose.
    failed = wav_.Close(rate_ != 0 ? rate_ : mixRate);
  } else {
    failed = pcm_ && std::fclose(pcm_) != 0;
    pcm_ = nullptr;
  }
  if (!ran && created_)
    std::remove(path_.c_str());
  else if (failed && !this->failed())
    Fail(path_ + ": cannot write");
}

}  // namespace capture
