// A video of the run (H.264 and AAC) through the ffmpeg program: frames are piped to an encoder
// as the show presents them, the sound goes to a file beside it, and both are joined at the end.
#pragma once
#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Framing.h"
#include "ShowRun.h"
#include "SoundFile.h"

namespace capture {

// `frames` video frames every `seconds` seconds.
struct FrameRate {
  int64_t frames = 60;
  int64_t seconds = 1;
  std::string Text() const;
};

// The show's own rate: one video frame per frame timer period.
constexpr FrameRate kNativeRate{200, 3};
static_assert(kNativeRate.seconds * 1000000 / kNativeRate.frames == kTickUs);

struct VideoSettings {
  FrameRate rate;
  Framing framing;
  int crf = 20;
  std::string preset = "superfast";
  bool lossless = false;  // RGB H.264 without loss: every pixel as the PNG shows it
};

class VideoFile final : public Recorder {
 public:
  VideoFile(std::string path, VideoSettings settings);
  ~VideoFile() override;

  bool NeedsPixels() const override { return true; }
  void Begin() override;
  void Frame(const FrameEvent& frame) override;
  void Sound(const SoundEvent& sound) override;
  void Finish(uint64_t endUs, bool ran) override;
  std::string Summary() const override;

 private:
  // Every video frame whose time comes before `us` shows what is on screen now.
  void ShowUntil(uint64_t us);
  void WriteVideoFrame();
  bool EndEncoder();
  void Join();

  std::string path_;
  std::string videoPart_;
  std::string soundPart_;
  VideoSettings settings_;
  FramePainter painter_;
  SoundFile sound_;
  pid_t encoder_ = -1;
  std::FILE* frames_ = nullptr;

  std::vector<uint16_t> onScreen_;  // black before the first presentation
  bool onScreenOverlay_ = false;
  int64_t onScreenNumber_ = 0;      // the presented frame on screen; 0 before the first
  bool onScreenShown_ = false;      // in at least one video frame
  std::vector<uint8_t> encoded_;    // the last video frame as the encoder takes it
  bool encodedCurrent_ = false;     // encoded_ shows what is on screen

  uint64_t videoFrames_ = 0;
  int64_t repeated_ = 0;  // video frames showing the same presented frame as the one before
  int64_t skipped_ = 0;   // presented frames no video frame shows
};

}  // namespace capture
