#include "VideoFile.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "app/Settings.h"

extern char** environ;

namespace capture {

namespace {

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
#ifdef F_SETPIPE_SZ
  // Room for a whole picture or two: fewer hand-overs between the show and the encoder.
  if (input) fcntl(pipeEnds[1], F_SETPIPE_SZ, 1 << 20);
#endif
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input) posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], STDIN_FILENO);
  // A group of its own: Ctrl+C at the terminal is for capture, which then finishes the video.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = -1;
#ifdef __EMSCRIPTEN__
  const int failed = ENOSYS;  // Node lets a wasm program start no other program (see Main.cpp)
#else
  const int failed = posix_spawnp(&pid, "ffmpeg", &actions, &attributes, argv.data(), environ);
#endif
  posix_spawnattr_destroy(&attributes);
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

std::vector<std::string> EncoderArguments(const VideoSettings& settings, const std::string& output) {
  const Framing& f = settings.framing;
  std::vector<std::string> arguments = {"-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo",
                                        "-pixel_format", settings.lossless ? "rgb24" : "yuv420p",
                                        "-video_size", std::to_string(f.width) + "x" + std::to_string(f.height),
                                        "-framerate", settings.rate.Text(), "-i", "-", "-preset", settings.preset};
  if (settings.lossless)
    arguments.insert(arguments.end(), {"-c:v", "libx264rgb", "-qp", "0"});
  else
    arguments.insert(arguments.end(), {"-c:v", "libx264", "-crf", std::to_string(settings.crf), "-colorspace",
                                       "smpte170m", "-color_range", "tv"});
  arguments.push_back(output);
  return arguments;
}

}  // namespace

std::string FrameRate::Text() const {
  return seconds == 1 ? std::to_string(frames) : std::to_string(frames) + "/" + std::to_string(seconds);
}

VideoFile::VideoFile(std::string path, VideoSettings settings)
    : path_(std::move(path)),
      videoPart_(path_ + ".video.mp4"),  // keeps the exact frame times of any rate
      soundPart_(path_ + ".sound.pcm"),
      settings_(std::move(settings)),
      painter_(settings_.framing),
      sound_(soundPart_, SoundFile::Kind::Pcm),
      onScreen_(static_cast<size_t>(kShowWidth) * kShowHeight, 0),
      encoded_(settings_.lossless ? static_cast<size_t>(settings_.framing.width) * settings_.framing.height * 3
                                  : settings_.framing.Yuv420Bytes()) {}

VideoFile::~VideoFile() { EndEncoder(); }

void VideoFile::Begin() {
  // A dying encoder must show up as a failed write, not end this process.
  std::signal(SIGPIPE, SIG_IGN);
  std::string error;
  encoder_ = StartFfmpeg(EncoderArguments(settings_, videoPart_), &frames_, error);
  if (encoder_ < 0) {
    Fail("cannot run ffmpeg (" + error + "); it makes the video, is it installed?");
    return;
  }
  sound_.Begin();
  if (sound_.failed()) Fail(sound_.failure());
}

void VideoFile::ShowUntil(uint64_t us) {
  // Video frame n is at n / rate seconds.
  const auto& rate = settings_.rate;
  while (frames_ && !failed() &&
         static_cast<unsigned __int128>(videoFrames_) * rate.seconds * 1000000 <
             static_cast<unsigned __int128>(us) * rate.frames)
    WriteVideoFrame();
}

void VideoFile::WriteVideoFrame() {
  if (!encodedCurrent_) {
    if (settings_.lossless)
      painter_.ToRgb(onScreen_.data(), onScreenOverlay_, encoded_.data(), settings_.framing.width * 3);
    else
      painter_.ToYuv420(onScreen_.data(), onScreenOverlay_, encoded_.data());
    encodedCurrent_ = true;
  }
  if (onScreenShown_ && onScreenNumber_ > 0) ++repeated_;
  onScreenShown_ = true;
  if (std::fwrite(encoded_.data(), 1, encoded_.size(), frames_) != encoded_.size())
    Fail(path_ + ": ffmpeg stopped taking frames");
  ++videoFrames_;
}

void VideoFile::Frame(const FrameEvent& frame) {
  ShowUntil(frame.atUs);
  if (onScreenNumber_ > 0 && !onScreenShown_) ++skipped_;
  std::memcpy(onScreen_.data(), frame.pixels, onScreen_.size() * sizeof(uint16_t));
  onScreenOverlay_ = frame.overlay;
  onScreenNumber_ = frame.number;
  onScreenShown_ = false;
  encodedCurrent_ = false;
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

void VideoFile::Finish(uint64_t endUs, bool ran) {
  if (ran) ShowUntil(endUs);
  if (onScreenNumber_ > 0 && !onScreenShown_) ++skipped_;
  const bool encoded = EndEncoder();
  sound_.Finish(endUs, ran);
  if (ran && !failed()) {
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
  // The sound starts when the device began to play; silence before it, and to the video's end,
  // to the sample.
  constexpr int kSoundRate = 48000;
  const FrameRate& rate = settings_.rate;
  const auto samples = static_cast<long long>(videoFrames_ * rate.seconds * kSoundRate / rate.frames);
  char sound[128];
  std::snprintf(sound, sizeof sound, "adelay=delays=%.3f:all=1,apad,aresample=%d,atrim=end_sample=%lld",
                static_cast<double>(sound_.startUs()) / 1000, kSoundRate, samples);
  // Nothing played: the rate the dialog chose, for a silent track.
  const int soundRate = sound_.rate() != 0 ? sound_.rate() : mixRate;
  std::string error;
  const pid_t joiner = StartFfmpeg(
      {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-i", videoPart_, "-f", "s16le", "-ar",
       std::to_string(soundRate), "-ac", "2", "-i", soundPart_, "-map", "0:v", "-map", "1:a", "-c:v", "copy", "-af",
       sound, "-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart", path_},
      nullptr, error);
  if (joiner < 0)
    Fail("cannot run ffmpeg (" + error + ")");
  else if (WaitFor(joiner) != 0)
    Fail(path_ + ": ffmpeg failed to join the frames and the sound");
}

std::string VideoFile::Summary() const {
  return path_ + ": " + std::to_string(videoFrames_) + " video frames at " + settings_.rate.Text() + " fps, " +
         std::to_string(repeated_) + " repeated, " + std::to_string(skipped_) + " skipped";
}

}  // namespace capture
