#include "VideoFile.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

extern char** environ;

namespace capture {

namespace {

constexpr int kPixels = 640 * 480;

// The exit code, or -1 when it did not exit normally.
int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts ffmpeg with these arguments; with `input`, its standard input is a pipe handed back
// there. -1 with the reason in `error` when it cannot start.
pid_t StartFfmpeg(const std::vector<std::string>& arguments, std::FILE** input, std::string& error) {
  std::vector<char*> argv{const_cast<char*>("ffmpeg")};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipeEnds[2] = {-1, -1};
  if (input && pipe2(pipeEnds, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input) posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], STDIN_FILENO);
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (input) close(pipeEnds[0]);
  if (failed != 0) {
    error = std::strerror(failed);
    if (input) close(pipeEnds[1]);
    return -1;
  }
  if (input && (*input = fdopen(pipeEnds[1], "wb")) == nullptr) {
    error = std::strerror(errno);
    close(pipeEnds[1]);
    WaitFor(pid);  // ends once it reads the end of its input
    return -1;
  }
  return pid;
}

// The encoder starts before any frame tells the display's format, so it takes 5:6:5 only.
uint16_t ToRgb565(uint16_t p) {
  const uint16_t green = (p >> 5) & 31;
  return static_cast<uint16_t>(((p & 0x7C00) << 1) | (((green << 1) | (green >> 4)) << 5) | (p & 31));
}

}  // namespace

VideoFile::VideoFile(std::string path, int fps)
    : path_(std::move(path)),
      videoPart_(path_ + ".video.mkv"),
      soundPart_(path_ + ".sound.wav"),
      fps_(fps),
      sound_(soundPart_),
      onScreen_(kPixels, 0) {}

VideoFile::~VideoFile() { EndEncoder(); }

void VideoFile::Begin() {
  // A dying encoder must show up as a failed write, not end this process.
  std::signal(SIGPIPE, SIG_IGN);
  std::string error;
  encoder_ = StartFfmpeg({"-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo", "-pixel_format", "rgb565le",
                          "-video_size", "640x480", "-framerate", std::to_string(fps_), "-i", "-", "-c:v", "libx264",
                          "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p", videoPart_},
                         &frames_, error);
  if (encoder_ < 0) {
    Fail("cannot run ffmpeg (" + error + "); it makes the video, is it installed?");
    return;
  }
  sound_.Begin();
  if (sound_.failed()) Fail(sound_.failure());
}

void VideoFile::ShowUntil(uint64_t us) {
  // Video frame n is at n / fps seconds.
  while (frames_ && !failed() && nextFrame_ * 1000000 < us * static_cast<uint64_t>(fps_)) {
    if (std::fwrite(onScreen_.data(), 2, kPixels, frames_) != static_cast<size_t>(kPixels))
      Fail(path_ + ": ffmpeg stopped taking frames");
    ++nextFrame_;
  }
}

void VideoFile::Frame(const FrameEvent& frame) {
  ShowUntil(frame.atUs);
  if (frame.overlay)
    for (int i = 0; i < kPixels; ++i) onScreen_[i] = ToRgb565(frame.pixels[i]);
  else
    std::memcpy(onScreen_.data(), frame.pixels, kPixels * 2);
}

void VideoFile::Sound(const SoundEvent& sound) {
  sound_.Sound(sound);
  if (sound_.failed()) Fail(sound_.failure());
}

// True when the encoder ended well.
bool VideoFile::EndEncoder() {
  if (encoder_ < 0) return false;
  bool failed = false;
  if (frames_) failed = std::fclose(frames_) != 0;
  frames_ = nullptr;
  failed = WaitFor(encoder_) != 0 || failed;
  encoder_ = -1;
  return !failed;
}

void VideoFile::Finish(uint64_t endUs, bool completed) {
  if (completed) ShowUntil(endUs);
  const bool encoded = EndEncoder();
  sound_.Finish(endUs, completed);
  if (completed && !failed()) {
    if (!encoded)
      Fail(path_ + ": ffmpeg failed to encode the frames");
    else if (sound_.failed())
      Fail(sound_.failure());
    else
      Join();
  }
  std::remove(videoPart_.c_str());
  std::remove(soundPart_.c_str());
}

void VideoFile::Join() {
  // The sound starts when the device began to play; silence before it, and to the video's end.
  char delay[32];
  std::snprintf(delay, sizeof delay, "%.3f", static_cast<double>(sound_.startUs()) / 1000);  // ms
  std::string error;
  const pid_t joiner =
      StartFfmpeg({"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-i", videoPart_, "-i", soundPart_, "-map",
                   "0:v", "-map", "1:a", "-c:v", "copy", "-af", "adelay=delays=" + std::string(delay) + ":all=1,apad",
                   "-c:a", "aac", "-b:a", "192k", "-ar", "48000", "-shortest", "-movflags", "+faststart", path_},
                  nullptr, error);
  if (joiner < 0)
    Fail("cannot run ffmpeg (" + error + ")");
  else if (WaitFor(joiner) != 0)
    Fail(path_ + ": ffmpeg failed to join the frames and the sound");
}

}  // namespace capture
