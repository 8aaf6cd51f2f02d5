// capture [options]: the show on the headless host, recorded frame-exact to files.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "FrameFiles.h"
#include "FrameLog.h"
#include "ShowRun.h"
#include "SoundFile.h"
#include "VideoFile.h"

namespace {

constexpr const char* kUsage =
    "usage: capture [--seconds S] [--png DIR] [--raw DIR] [--every N] [--from N] [--to M]\n"
    "               [--wav FILE] [--video FILE] [--fps F] [--log FILE]\n"
    "               [--rate HZ] [--plain] [--dsound] [--windowed] [--loop | --no-loop] [--quiet]\n"
    "       capture --help | --version\n"
    "Runs the show on the headless host in virtual time and records it. Without --seconds it runs\n"
    "one whole pass (until the end credits have run once, with loop on). The Settings dialog is\n"
    "answered as GO would, with these choices: --rate (1 to 1000000 Hz), --plain (no\n"
    "interpolation), --dsound (the first DirectSound device), --windowed, --loop.\n";

struct CommandLine {
  capture::RunOptions run;
  capture::FrameSelection selection;
  std::string png, raw, wav, video, log;
  int fps = 60;
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

bool ParseSeconds(const char* text, uint64_t& ms) {
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  if (end == text || *end || !(seconds >= 0.001 && seconds <= 1e6)) return false;
  ms = static_cast<uint64_t>(std::llround(seconds * 1000));
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
  else if (option == "--quiet") line.quiet = true;
  else return false;
  return true;
}

// An option with a value: nullopt when `option` is none of them, false when the value does not
// suit it.
std::optional<bool> SetValue(const std::string& option, const char* value, CommandLine& line) {
  for (auto [name, path] : {std::pair{"--png", &line.png}, {"--raw", &line.raw}, {"--wav", &line.wav},
                            {"--video", &line.video}, {"--log", &line.log}})
    if (option == name) return !(*path = value).empty();
  for (auto [name, count] : {std::pair{"--every", &line.selection.every}, {"--from", &line.selection.from},
                             {"--to", &line.selection.to}})
    if (option == name) return ParseCount(value, 1, INT64_MAX, *count);
  if (option == "--seconds") return ParseSeconds(value, line.run.limitMs);
  for (auto [name, highest, number] : {std::tuple{"--fps", 1000, &line.fps}, {"--rate", 1000000, &line.run.settings.rate}})
    if (option == name) {
      int64_t parsed = 0;
      if (!ParseCount(value, 1, highest, parsed)) return false;
      *number = static_cast<int>(parsed);
      return true;
    }
  return std::nullopt;
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
  if (line.selection.to < line.selection.from) {
    problem = "--to comes before --from";
    return std::nullopt;
  }
  // Without the loop the credits never end, and with them the pass.
  if (!line.run.settings.loop && line.run.limitMs == 0) {
    problem = "--no-loop needs --seconds: without the loop the show never ends by itself";
    return std::nullopt;
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) return std::fputs(kUsage, stdout) < 0;
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) return std::printf("capture %s\n", VEMORA_VERSION) < 0;
  std::string problem;
  const std::optional<CommandLine> line = Parse(argc, argv, problem);
  if (!line) return Usage(problem);

  std::vector<std::unique_ptr<capture::Recorder>> owned;
  using Kind = capture::FrameFiles::Kind;
  if (!line->png.empty()) owned.push_back(std::make_unique<capture::FrameFiles>(Kind::Png, line->png, line->selection));
  if (!line->raw.empty()) owned.push_back(std::make_unique<capture::FrameFiles>(Kind::Raw, line->raw, line->selection));
  if (!line->wav.empty()) owned.push_back(std::make_unique<capture::SoundFile>(line->wav));
  if (!line->video.empty()) owned.push_back(std::make_unique<capture::VideoFile>(line->video, line->fps));
  if (!line->log.empty()) owned.push_back(std::make_unique<capture::LogFile>(line->log));
  if (!line->quiet) owned.push_back(std::make_unique<capture::Progress>());
  std::vector<capture::Recorder*> recorders;
  for (const auto& recorder : owned) recorders.push_back(recorder.get());

  const capture::RunResult result = capture::RunShow(line->run, recorders);
  const std::string failure = capture::RunFailure(line->run, result, recorders);
  if (!failure.empty()) {
    std::fprintf(stderr, "capture: %s\n", failure.c_str());
    return 1;
  }
  return 0;
}
