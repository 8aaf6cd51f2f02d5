// capture [options]: the show on the headless host, recorded frame-exact to files.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "FrameFiles.h"
#include "FrameLog.h"
#include "Interruption.h"
#include "ShowRun.h"
#include "SoundFile.h"
#include "VideoFile.h"

namespace {

constexpr const char* kUsage =
    "usage: capture [--seconds S] [--png DIR] [--raw DIR] [--every N] [--from N] [--to M]\n"
    "               [--wav FILE] [--video FILE] [--fps F] [--crf N] [--preset NAME] [--lossless]\n"
    "               [--scale N] [--pad WxH] [--log FILE] [--hashes FILE]\n"
    "               [--rate HZ] [--plain] [--dsound] [--windowed] [--loop | --no-loop] [--quiet]\n"
    "       capture --help | --version\n"
    "Runs the show on the headless host in virtual time and records it. Without --seconds it runs\n"
    "one whole pass (until the end credits have run once, with loop on). The Settings dialog is\n"
    "answered as GO would, with these choices: --rate (1 to 1000000 Hz), --plain (no\n"
    "interpolation), --dsound (the first DirectSound device), --windowed, --loop.\n"
    "--fps: a number, a fraction (60000/1001) or native (200/3, one video frame per frame of the\n"
    "show). --scale 1 to 8 and --pad WxH (even) frame the pictures of --png and --video.\n"
    "Ctrl+C stops the run at the next frame with every output finished.\n";

const char* const kPresets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                "medium", "slow", "slower", "veryslow", "placebo"};

struct CommandLine {
  capture::RunOptions run;
  capture::FrameSelection selection;
  capture::VideoSettings video;
  std::string png, raw, wav, videoPath, log, hashes;
  int scale = 1;
  int padWidth = 0, padHeight = 0;  // 0: no bars
  int crf = -1;                     // -1: the encoder's default here
  bool quiet = false;
};

int Usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "capture: %s\n", problem.c_str());
  std::fputs(kUsage, stderr);
  return 2;
}

bool ParseCount(const char* text, int64_t lowest, int64_t highest, int64_t& out) {
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  if (end == text || *end || errno != 0 || value < lowest || value > highest) return false;
  out = value;
  return true;
}

// Two counts joined by `separator` ("1920x1080", "60000/1001").
bool ParsePair(const std::string& text, char separator, int64_t highest, int64_t& first, int64_t& second) {
  const size_t at = text.find(separator);
  return at != std::string::npos && ParseCount(text.substr(0, at).c_str(), 1, highest, first) &&
         ParseCount(text.substr(at + 1).c_str(), 1, highest, second);
}

bool ParseSeconds(const char* text, uint64_t& ms) {
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  if (end == text || *end || !(seconds >= 0.001 && seconds <= 1e6)) return false;
  ms = static_cast<uint64_t>(std::llround(seconds * 1000));
  return true;
}

// "native", a whole number or a fraction, at most 1000 frames a second.
bool ParseRate(const std::string& text, capture::FrameRate& rate) {
  constexpr int64_t kMostTerm = 1000000;
  if (text == "native") {
    rate = capture::kNativeRate;
    return true;
  }
  int64_t frames = 0, seconds = 1;
  if (text.find('/') == std::string::npos ? !ParseCount(text.c_str(), 1, kMostTerm, frames)
                                          : !ParsePair(text, '/', kMostTerm, frames, seconds))
    return false;
  if (frames > 1000 * seconds) return false;
  const int64_t common = std::gcd(frames, seconds);
  rate = {frames / common, seconds / common};
  return true;
}

bool ParsePad(const std::string& text, int& width, int& height) {
  constexpr int64_t kLargest = 8192;
  int64_t w = 0, h = 0;
  if (!ParsePair(text, 'x', kLargest, w, h) || w % 2 != 0 || h % 2 != 0) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

// An option without a value; false when `option` is none of them.
bool SetSwitch(const std::string& option, CommandLine& line) {
  capture::ShowSettings& settings = line.run.settings;
  if (option == "--plain") settings.plain = true;
  else if (option == "--dsound") settings.dsound = true;
  else if (option == "--windowed") settings.windowed = true;
  else if (option == "--loop") settings.loop = true;
  else if (option == "--no-loop") settings.loop = false;
  else if (option == "--lossless") line.video.lossless = true;
  else if (option == "--quiet") line.quiet = true;
  else return false;
  return true;
}

// An option with a value: nullopt when `option` is none of them, false when the value does not
// suit it.
std::optional<bool> SetValue(const std::string& option, const char* value, CommandLine& line) {
  for (auto [name, path] : {std::pair{"--png", &line.png}, {"--raw", &line.raw}, {"--wav", &line.wav},
                            {"--video", &line.videoPath}, {"--log", &line.log}, {"--hashes", &line.hashes}})
    if (option == name) return !(*path = value).empty();
  for (auto [name, count] : {std::pair{"--every", &line.selection.every}, {"--from", &line.selection.from},
                             {"--to", &line.selection.to}})
    if (option == name) return ParseCount(value, 1, INT64_MAX, *count);
  if (option == "--seconds") return ParseSeconds(value, line.run.limitMs);
  if (option == "--fps") return ParseRate(value, line.video.rate);
  if (option == "--pad") return ParsePad(value, line.padWidth, line.padHeight);
  if (option == "--preset") {
    line.video.preset = value;
    return std::find(std::begin(kPresets), std::end(kPresets), line.video.preset) != std::end(kPresets);
  }
  for (auto [name, lowest, highest, number] :
       {std::tuple{"--rate", 1, 1000000, &line.run.settings.rate}, {"--scale", 1, capture::kMaxScale, &line.scale},
        {"--crf", 0, 51, &line.crf}})
    if (option == name) {
      int64_t parsed = 0;
      if (!ParseCount(value, lowest, highest, parsed)) return false;
      *number = static_cast<int>(parsed);
      return true;
    }
  return std::nullopt;
}

// Settles what options give together; the problem when they disagree, otherwise empty.
std::string Combine(CommandLine& line) {
  if (line.selection.to < line.selection.from) return "--to comes before --from";
  // Without the loop the credits never end, and with them the pass.
  if (!line.run.settings.loop && line.run.limitMs == 0)
    return "--no-loop needs --seconds: without the loop the show never ends by itself";
  if (line.crf >= 0) {
    if (line.video.lossless) return "--lossless has no --crf";
    line.video.crf = line.crf;
  }
  capture::Framing& framing = line.video.framing;
  framing = capture::Framing::Scaled(line.scale);
  if (line.padWidth != 0) {
    framing.width = line.padWidth;
    framing.height = line.padHeight;
  }
  if (!framing.Fits())
    return "--pad " + std::to_string(framing.width) + "x" + std::to_string(framing.height) +
           " is smaller than the picture at --scale " + std::to_string(line.scale) + " (" +
           std::to_string(capture::kShowWidth * line.scale) + "x" + std::to_string(capture::kShowHeight * line.scale) +
           ")";
  return {};
}

std::optional<CommandLine> Parse(int argc, char** argv, std::string& problem) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (SetSwitch(option, line)) continue;
    const std::optional<bool> set = SetValue(option, i + 1 < argc ? argv[i + 1] : "", line);
    if (!set || !*set) {
      problem = set ? option + ": missing or bad value" : "unknown option " + option;
      return std::nullopt;
    }
    ++i;
  }
  problem = Combine(line);
  if (!problem.empty()) return std::nullopt;
  return line;
}

// The outputs in the order they begin: files first, then the encoder, which is slow to start and
// pointless when a file cannot be made.
std::vector<std::unique_ptr<capture::Recorder>> Recorders(const CommandLine& line) {
  std::vector<std::unique_ptr<capture::Recorder>> recorders;
  using Kind = capture::FrameFiles::Kind;
  if (!line.png.empty())
    recorders.push_back(std::make_unique<capture::FrameFiles>(Kind::Png, line.png, line.selection, line.video.framing));
  if (!line.raw.empty()) recorders.push_back(std::make_unique<capture::FrameFiles>(Kind::Raw, line.raw, line.selection));
  if (!line.wav.empty()) recorders.push_back(std::make_unique<capture::SoundFile>(line.wav));
  if (!line.log.empty()) recorders.push_back(std::make_unique<capture::LogFile>(line.log));
  if (!line.hashes.empty()) recorders.push_back(std::make_unique<capture::HashFile>(line.hashes));
  if (!line.videoPath.empty()) recorders.push_back(std::make_unique<capture::VideoFile>(line.videoPath, line.video));
  if (!line.quiet) recorders.push_back(std::make_unique<capture::Progress>());
  return recorders;
}

void PrintSummary(const capture::RunResult& result, double wallSeconds, const std::vector<capture::Recorder*>& recorders) {
  const double virtualSeconds = static_cast<double>(result.endUs) / 1e6;
  std::fprintf(stderr, "capture: %lld frames presented, %.2f s of virtual time in %.1f s, %.1fx real time\n",
               static_cast<long long>(result.frames), virtualSeconds, wallSeconds,
               wallSeconds > 0 ? virtualSeconds / wallSeconds : 0.0);
  for (const capture::Recorder* recorder : recorders)
    if (const std::string line = recorder->Summary(); !line.empty()) std::fprintf(stderr, "capture: %s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) return std::fputs(kUsage, stdout) < 0;
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) return std::printf("capture %s\n", VEMORA_VERSION) < 0;
  std::string problem;
  std::optional<CommandLine> line = Parse(argc, argv, problem);
  if (!line) return Usage(problem);
#ifdef __EMSCRIPTEN__
  if (!line->videoPath.empty()) {
    std::fputs("capture: --video needs the ffmpeg program, which capture.js cannot start under Node; "
               "make videos with the native capture\n", stderr);
    return 1;
  }
#endif

  const auto start = std::chrono::steady_clock::now();
  capture::CatchInterruptions();
  line->run.interruption = capture::CaughtInterruption;
  const std::vector<std::unique_ptr<capture::Recorder>> owned = Recorders(*line);
  std::vector<capture::Recorder*> recorders;
  for (const auto& recorder : owned) recorders.push_back(recorder.get());

  const capture::RunResult result = capture::RunShow(line->run, recorders);
  const std::string failure = capture::RunFailure(line->run, result, recorders);
  if (!line->quiet && result.started)
    PrintSummary(result, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), recorders);
  if (!failure.empty()) {
    std::fprintf(stderr, "capture: %s\n", failure.c_str());
    return 1;
  }
  // Also a signal that came while the outputs were being finished.
  const int signal = result.interruptedBy != 0 ? result.interruptedBy : capture::CaughtInterruption();
  if (signal != 0) {
    std::fprintf(stderr, "capture: interrupted by %s at frame %lld, %.2f s of virtual time; the outputs end there\n",
                 capture::SignalName(signal), static_cast<long long>(result.frames),
                 static_cast<double>(result.endUs) / 1e6);
    return 128 + signal;
  }
  return 0;
}
