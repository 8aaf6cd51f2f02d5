#include "SoundFile.h"

#include <cstdio>

#include "app/Settings.h"

namespace capture {

void SoundFile::Begin() {
  if (wav_.Open(path_)) Fail(path_ + ": cannot write");
}

void SoundFile::Sound(const SoundEvent& sound) {
  if (wav_.full() || failed()) return;
  if (sound.channels != 2 || sound.bits != 16 || (rate_ != 0 && sound.rate != rate_)) {
    Fail(path_ + ": the device played a format other than 16-bit stereo at one rate");
    return;
  }
  if (rate_ == 0) {
    rate_ = sound.rate;
    startUs_ = sound.atUs;
  }
  wav_.Append(sound.bytes, sound.size);
  if (wav_.failed()) Fail(path_ + ": cannot write");
  if (wav_.full())
    std::fprintf(stderr, "capture: %s: stopped at %u bytes of sound, the most a WAV file can hold\n", path_.c_str(),
                 wav_.dataBytes());
}

void SoundFile::Finish(uint64_t, bool) {
  // Nothing played: the header still names the rate the dialog chose.
  if (wav_.Close(rate_ != 0 ? rate_ : mixRate)) Fail(path_ + ": cannot write");
}

}  // namespace capture
