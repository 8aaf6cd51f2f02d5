// The capture binary as a user runs it: its outputs, their determinism, its exit codes, and what
// it leaves when interrupted.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CaptureFiles.h"
#include "RenderSong.h"
#include "ToolRun.h"

extern char** environ;

namespace fs = std::filesystem;
using capturetest::FileNames;
using capturetest::ReadFile;
using tooltest::Quote;
using tooltest::RunCommand;
using tooltest::RunTool;
using tooltest::ToolRun;

namespace {

class CaptureTool : public capturetest::InScratchFolder {};

std::string Names(int from, int to, int every, const char* extension) {
  std::string names;
  for (int n = from; n <= to; ++n)
    if (n % every == 0) names += "frame-" + std::string(6 - std::to_string(n).size(), '0') + std::to_string(n) + extension + " ";
  return names;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& n : names) joined += n + " ";
  return joined;
}

TEST_F(CaptureTool, WritesTheChosenFramesAndThePngShowsTheRawPixels) {
  const ToolRun run = RunTool("capture --seconds 7 --quiet --every 4 --from 10 --to 61 --png " + Quote(dir_ / "png") +
                              " --raw " + Quote(dir_ / "raw"));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(Joined(FileNames(dir_ / "png")), Names(10, 61, 4, ".png"));
  EXPECT_EQ(Joined(FileNames(dir_ / "raw")), Names(10, 61, 4, ".raw"));
  for (const std::string& name : FileNames(dir_ / "raw")) EXPECT_EQ(fs::file_size(dir_ / "raw" / name), 640u * 480 * 2);

  // Another program's reading of the PNG gives the raw frame's colours exactly.
  const ToolRun decoded = RunCommand("ffmpeg -v error -i " + Quote(dir_ / "png/frame-000060.png") +
                                     " -f rawvideo -pix_fmt rgb24 - 2>/dev/null");
  ASSERT_EQ(decoded.exitCode, 0);
  const std::vector<uint8_t> expected = capturetest::RawToRgb(ReadFile(dir_ / "raw/frame-000060.raw"), false);
  ASSERT_EQ(decoded.output.size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), reinterpret_cast<const uint8_t*>(decoded.output.data())));
}

TEST_F(CaptureTool, LogHasALineForEveryPresentedFrameAndTheWavItsSizes) {
  const ToolRun run = RunTool("capture --seconds 9 --quiet --raw " + Quote(dir_ / "raw") + " --log " +
                              Quote(dir_ / "show.log") + " --wav " + Quote(dir_ / "show.wav"));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const size_t presented = FileNames(dir_ / "raw").size();
  ASSERT_GT(presented, 100u);

  std::istringstream log(std::string(reinterpret_cast<const char*>(ReadFile(dir_ / "show.log").data()),
                                     fs::file_size(dir_ / "show.log")));
  long long frame, ms, previousMs = -1;
  int scene, order, row;
  size_t lines = 0;
  while (log >> frame >> ms >> scene >> order >> row) {
    ++lines;
    EXPECT_EQ(frame, static_cast<long long>(lines));
    EXPECT_GT(ms, previousMs);
    EXPECT_LE(ms, 9000);
    EXPECT_GE(scene, 2);  // scenes 0 and 1 are never presented
    EXPECT_GE(order, 0);  // the audio starts before the first presented frame
    EXPECT_GE(row, 0);
    previousMs = ms;
  }
  EXPECT_TRUE(log.eof());
  EXPECT_EQ(lines, presented);

  // The sound itself is compared with the offline render in WholeShow.
  const std::vector<uint8_t> wav = ReadFile(dir_ / "show.wav");
  ASSERT_GT(wav.size(), 44u + 45454 * 4);  // more than a second played
  EXPECT_EQ(capturetest::Le32(wav, 24), 45454u);
  EXPECT_EQ(capturetest::Le32(wav, 40), wav.size() - 44);
}

TEST_F(CaptureTool, RateAndDeviceChoicesPlayTheSongAsRenderedOffline) {
  // DirectSound at 22050 Hz without interpolation plays the song as the offline renderer renders it.
  const ToolRun run = RunTool("capture --seconds 7 --quiet --rate 22050 --plain --dsound --wav " + Quote(dir_ / "show.wav"));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<uint8_t> wav = ReadFile(dir_ / "show.wav");
  ASSERT_GT(wav.size(), 44u + 22050 * 4);  // more than a second played
  EXPECT_EQ(capturetest::Le32(wav, 24), 22050u);
  xmrender::Options options;
  options.rate = 22050;
  options.plain = true;
  options.seconds = 7;
  xmrender::Render offline;
  ASSERT_FALSE(xmrender::RenderFile(VEMORA_SOURCE_DIR "/src/assets/song.xm", options, offline));
  ASSERT_GE(offline.pcm.size() * 2, wav.size() - 44);
  EXPECT_EQ(std::memcmp(wav.data() + 44, offline.pcm.data(), wav.size() - 44), 0);

  // A rate the device refuses ends the program as it would end a user's run.
  const ToolRun refused = RunTool("capture --seconds 7 --quiet --rate 300000");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.output, "capture: the program failed (exit code -1): audio failed\n");
}

TEST_F(CaptureTool, TwoRunsWriteByteIdenticalFramesSoundAndLog) {
  if (capturetest::kThreadSanitizer) GTEST_SKIP() << capturetest::kOnePassUnderTsan;
  for (const char* run : {"a", "b"}) {
    const fs::path out = dir_ / run;
    const ToolRun result = RunTool("capture --seconds 8 --quiet --every 7 --png " + Quote(out / "png") + " --raw " +
                                   Quote(out / "raw") + " --wav " + Quote(out / "show.wav") + " --log " +
                                   Quote(out / "show.log"));
    ASSERT_EQ(result.exitCode, 0) << result.output;
  }
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir_ / "a")) {
    if (!entry.is_regular_file()) continue;
    ++files;
    const fs::path twin = dir_ / "b" / fs::relative(entry.path(), dir_ / "a");
    EXPECT_TRUE(ReadFile(entry.path()) == ReadFile(twin)) << twin;
  }
  EXPECT_GT(files, 40u);
}

TEST_F(CaptureTool, HelpAndVersionGoToStandardOutputWithZero) {
  const ToolRun help = RunCommand(std::string(VEMORA_BIN_DIR) + "/capture --help 2>/dev/null");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.output.rfind("usage: capture [--seconds S]", 0), 0u) << help.output;
  const ToolRun version = RunCommand(std::string(VEMORA_BIN_DIR) + "/capture --version 2>/dev/null");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.output, "capture " VEMORA_VERSION "\n");
}

TEST_F(CaptureTool, BadOptionsPrintTheUsageAndExitTwo) {
  for (const char* options :
       {"--bogus", "--every 0", "--every", "--fps 0", "--fps 12x", "--fps 1/0", "--fps 0/5", "--fps 1001/1",
        "--fps 60000/", "--fps nativ", "--seconds -1", "--seconds 0", "--from 5 --to 4", "--no-loop", "--png",
        "--rate", "--rate 0", "--rate 1000001", "--rate 44k", "--dsound 1", "--scale 0", "--scale 9", "--scale 2.5",
        "--pad 100x100 --scale 2", "--scale 2 --pad 1278x960", "--pad 641x480", "--pad 640", "--pad 0x480",
        "--crf 52", "--crf -1", "--preset quick", "--lossless --crf 18", "--hashes"}) {
    const ToolRun run = RunTool(std::string("capture ") + options);
    EXPECT_EQ(run.exitCode, 2) << options;
    EXPECT_NE(run.output.find("usage: capture"), std::string::npos) << options;
  }
}

TEST_F(CaptureTool, OutputsThatCannotBeMadeExitOneWithTheReason) {
  const fs::path missing = dir_ / "missing" / "show.wav";
  const ToolRun wav = RunTool("capture --seconds 2 --wav " + Quote(missing));
  EXPECT_EQ(wav.exitCode, 1);
  EXPECT_EQ(wav.output, "capture: " + missing.string() + ": cannot write\n");

  const fs::path blocked = dir_ / "file";
  std::ofstream(blocked) << "a file, not a folder";
  const ToolRun png = RunTool("capture --seconds 2 --png " + Quote(blocked / "png"));
  EXPECT_EQ(png.exitCode, 1);
  EXPECT_NE(png.output.find("cannot create the folder"), std::string::npos) << png.output;

  // The tool finds ffmpeg on the search path, or says why not before running the show; the files
  // opened before it are gone again.
  const ToolRun noFfmpeg = RunTool("capture --seconds 2 --wav " + Quote(dir_ / "show.wav") + " --log " +
                                       Quote(dir_ / "show.log") + " --hashes " + Quote(dir_ / "show.hashes") +
                                       " --video " + Quote(dir_ / "show.mp4"),
                                   "PATH=/nonexistent");
  EXPECT_EQ(noFfmpeg.exitCode, 1);
  EXPECT_NE(noFfmpeg.output.find("cannot run ffmpeg"), std::string::npos) << noFfmpeg.output;
  EXPECT_EQ(noFfmpeg.output.find("scene"), std::string::npos) << noFfmpeg.output;
  EXPECT_EQ(Joined(FileNames(dir_)), "file ");

  // A file that cannot be made starts no encoder.
  fs::create_directories(dir_ / "bin");
  std::ofstream(dir_ / "bin" / "ffmpeg") << "#!/bin/sh\ntouch " << Quote(dir_ / "ffmpeg-ran") << "\nexit 1\n";
  fs::permissions(dir_ / "bin" / "ffmpeg", fs::perms::owner_all);
  const ToolRun noLog = RunTool("capture --seconds 2 --wav " + Quote(dir_ / "show.wav") + " --log " +
                                    Quote(dir_ / "missing" / "show.log") + " --video " + Quote(dir_ / "show.mp4"),
                                "PATH=" + Quote(dir_ / "bin") + ":/usr/bin:/bin");
  EXPECT_EQ(noLog.exitCode, 1);
  EXPECT_EQ(noLog.output, "capture: " + (dir_ / "missing" / "show.log").string() + ": cannot write\n");
  EXPECT_EQ(Joined(FileNames(dir_)), "bin file ");
}

TEST_F(CaptureTool, FailingFfmpegExitsOneAndLeavesNoPartsBehind) {
  // An ffmpeg that gives up at once.
  fs::create_directories(dir_ / "bin");
  std::ofstream(dir_ / "bin" / "ffmpeg") << "#!/bin/sh\nexit 1\n";
  fs::permissions(dir_ / "bin" / "ffmpeg", fs::perms::owner_all);
  const ToolRun quitting = RunTool("capture --seconds 9 --quiet --video " + Quote(dir_ / "a.mp4"),
                                   "PATH=" + Quote(dir_ / "bin"));
  EXPECT_EQ(quitting.exitCode, 1);
  EXPECT_NE(quitting.output.find("ffmpeg"), std::string::npos) << quitting.output;

  // The real one, refusing to write the video over a folder when it joins frames and sound.
  fs::create_directories(dir_ / "b.mp4");
  const ToolRun refused = RunTool("capture --seconds 6 --quiet --video " + Quote(dir_ / "b.mp4"));
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.output.find("capture: " + (dir_ / "b.mp4").string() + ": ffmpeg failed"), std::string::npos)
      << refused.output;
  EXPECT_EQ(Joined(FileNames(dir_)), "b.mp4 bin ");
}

TEST_F(CaptureTool, HashesAreTheSha1OfTheRawFramesAndOfThePlayedSound) {
  const ToolRun run = RunTool("capture --seconds 6 --quiet --raw " + Quote(dir_ / "raw") + " --wav " +
                              Quote(dir_ / "show.wav") + " --hashes " + Quote(dir_ / "show.hashes"));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  // Another program's reading of the same bytes.
  const ToolRun frames = RunCommand("cd " + Quote(dir_ / "raw") + " && sha1sum *.raw");
  const ToolRun sound = RunCommand("tail -c +45 " + Quote(dir_ / "show.wav") + " | sha1sum");
  ASSERT_EQ(frames.exitCode, 0);
  ASSERT_EQ(sound.exitCode, 0);
  std::string expected;
  std::istringstream sums(frames.output);
  for (std::string sum, name; sums >> sum >> name;) expected += std::to_string(std::stoi(name.substr(6))) + " " + sum + "\n";
  expected += "sound " + sound.output.substr(0, 40) + "\n";
  EXPECT_GT(FileNames(dir_ / "raw").size(), 40u);
  const std::vector<uint8_t> hashes = ReadFile(dir_ / "show.hashes");
  EXPECT_EQ(std::string(hashes.begin(), hashes.end()), expected);
}

// Starts capture with these arguments, its output into `output`.
pid_t Start(const std::string& arguments, const fs::path& output) {
  const std::string line = "exec " + std::string(VEMORA_BIN_DIR) + "/capture " + arguments + " > " + Quote(output) + " 2>&1";
  const char* argv[] = {"sh", "-c", line.c_str(), nullptr};
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  return pid;
}

// Waits until `file` has something in it (the run is under way), then sends `signal`; the exit
// code, or -1 when the run did not end within a minute.
int Interrupt(pid_t pid, const fs::path& file, int signal) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + minutes(1);
  while (!(fs::exists(file) && fs::file_size(file) > 0) && steady_clock::now() < deadline)
    std::this_thread::sleep_for(milliseconds(20));
  kill(pid, signal);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Text(const fs::path& file) {
  const std::vector<uint8_t> bytes = ReadFile(file);
  return {bytes.begin(), bytes.end()};
}

void ExpectWavSizesMatchItsData(const fs::path& file) {
  const std::vector<uint8_t> wav = ReadFile(file);
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(capturetest::Le32(wav, 4), wav.size() - 8);
  EXPECT_EQ(capturetest::Le32(wav, 40), wav.size() - 44);
}

TEST_F(CaptureTool, InterruptedRunFinishesEveryOutputAndExitsWithTheSignal) {
  // Ctrl+C during a whole pass to every kind of output.
  const pid_t pid = Start("--video " + Quote(dir_ / "show.mp4") + " --wav " + Quote(dir_ / "show.wav") + " --log " +
                              Quote(dir_ / "show.log") + " --hashes " + Quote(dir_ / "show.hashes") + " --png " +
                              Quote(dir_ / "png") + " --every 50",
                          dir_ / "output");
  ASSERT_EQ(Interrupt(pid, dir_ / "show.log", SIGINT), 130) << Text(dir_ / "output");
  const std::string output = Text(dir_ / "output");
  const size_t said = output.find("capture: interrupted by SIGINT at frame ");
  ASSERT_NE(said, std::string::npos) << output;
  const long long frames = std::stoll(output.substr(said + 40));
  double seconds = 0;
  ASSERT_EQ(std::sscanf(output.c_str() + output.find(", ", said) + 2, "%lf s of virtual time", &seconds), 1) << output;
  EXPECT_LT(seconds, 150.0) << "the pass ran to its end";

  // The log and the hashes end on whole lines, at the same frame.
  const std::string log = Text(dir_ / "show.log"), hashes = Text(dir_ / "show.hashes");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), frames);
  EXPECT_EQ(log.substr(log.rfind('\n', log.size() - 2) + 1, std::to_string(frames).size() + 1), std::to_string(frames) + " ");
  EXPECT_EQ(std::count(hashes.begin(), hashes.end(), '\n'), frames + 1);
  EXPECT_EQ(hashes.substr(hashes.rfind('\n', hashes.size() - 2) + 1, 6), "sound ");
  EXPECT_EQ(hashes.size() - hashes.rfind('\n', hashes.size() - 2), 48u);  // "sound " + 40 digits + newline

  ExpectWavSizesMatchItsData(dir_ / "show.wav");
  // The last picture decodes, and the video plays: both streams, as long as the run.
  const std::vector<std::string> pictures = FileNames(dir_ / "png");
  ASSERT_FALSE(pictures.empty());
  EXPECT_EQ(RunCommand("ffmpeg -v error -i " + Quote(dir_ / "png" / pictures.back()) + " -f null - 2>&1").output, "");
  double videoSeconds = 0, soundSeconds = 0;
  const std::string probe = capturetest::Probe(dir_ / "show.mp4", "codec_name,duration");
  ASSERT_EQ(std::sscanf(probe.c_str(), "h264,%lf\naac,%lf\n", &videoSeconds, &soundSeconds), 2) << probe;
  EXPECT_NEAR(videoSeconds, seconds, 0.02);
  EXPECT_NEAR(soundSeconds, videoSeconds, 0.001);

  // SIGTERM, during a run that never ends by itself.
  const pid_t endless = Start("--no-loop --seconds 100000 --wav " + Quote(dir_ / "endless.wav") + " --log " +
                                  Quote(dir_ / "endless.log"),
                              dir_ / "endless");
  ASSERT_EQ(Interrupt(endless, dir_ / "endless.log", SIGTERM), 143) << Text(dir_ / "endless");
  EXPECT_NE(Text(dir_ / "endless").find("capture: interrupted by SIGTERM at frame "), std::string::npos);
  ExpectWavSizesMatchItsData(dir_ / "endless.wav");
  EXPECT_EQ(Text(dir_ / "endless.log").back(), '\n');
}

}  // namespace
