// An MP4 (H.264 + AAC) of the run through the ffmpeg program: frames are piped to an encoder as
// the show presents them, the sound goes to a WAV beside it, and both are joined at the end.
#pragma once
#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ShowRun.h"
#include "SoundFile.h"

namespace capture {

class VideoFile final : public Recorder {
 public:
  VideoFile(std::string path, int fps);
  ~VideoFile() override;

  bool NeedsPixels() const override { return true; }
  void Begin() override;
  void Frame(const FrameEvent& frame) override;
  void Sound(const SoundEvent& sound) override;
  void Finish(uint64_t endUs, bool completed) override;

 private:
  // Every video frame whose time comes before `us` shows what is on screen now.
  void ShowUntil(uint64_t us);
  bool EndEncoder();
  void Join();

  std::string path_;
  std::string videoPart_;
  std::string soundPart_;
  int fps_;
  SoundFile sound_;
  pid_t encoder_ = -1;
  std::FILE* frames_ = nullptr;
  std::vector<uint16_t> onScreen_;  // 5:6:5; black before the first presentation
  uint64_t nextFrame_ = 0;
};

}  // namespace capture
