// xmrender IN.xm OUT.wav [--rate HZ] [--plain] [--seconds S] [--positions]; --help; --version
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "RenderSong.h"
#include "WavWriter.h"

namespace {

// A song that never ends would otherwise render until the disk is full.
constexpr double kDefaultLimitSeconds = 20 * 60;

constexpr const char* kUsage =
    "usage: xmrender IN.xm OUT.wav [--rate HZ] [--plain] [--seconds S] [--positions]\n"
    "       xmrender --help | --version\n"
    "Renders an XM module into a WAV file (16-bit stereo) through the show's own loader, replay\n"
    "engine and mixer, as fast as the processor allows. The file is written as the song renders.\n"
    "\n"
    "Options:\n"
    "  --rate HZ      mixing rate in Hz, 1000 to 384000 (44100 by default)\n"
    "  --plain        no interpolation\n"
    "  --seconds S    stop after S seconds of sound; without it a song that has not ended after\n"
    "                 20 minutes stops there with a notice\n"
    "  --positions    print FRAME ORDER ROW on standard output for every row started\n"
    "  --help         show this text\n"
    "  --version      show the version\n"
    "\n"
    "Exit status:\n"
    "  0              the WAV file was written\n"
    "  1              the module was refused or the WAV file could not be written\n"
    "  2              bad options\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

// Streams the render into the WAV file and the row starts to standard output.
class WavSink final : public xmrender::RenderSink {
 public:
  WavSink(wavfile::WavWriter& wav, const char* path) : wav_(wav), path_(path) {}
  // Opened only once the song has loaded, so that a refused song leaves no file behind.
  bool Begin() override { return !wav_.Open(path_); }
  void RowStarted(const xmrender::RowStart& r) override {
    std::printf("%lld %d %d\n", static_cast<long long>(r.frame), r.order, r.row);
  }
  bool Pcm(const int16_t* pcm, size_t frames) override { return wav_.Append(pcm, frames * wavfile::kFrameBytes); }

 private:
  wavfile::WavWriter& wav_;
  const char* path_;
};

}  // namespace

int main(int argc, char** argv) {
  const char* in = nullptr;
  const char* out = nullptr;
  xmrender::Options options;
  options.seconds = kDefaultLimitSeconds;
  bool limitGiven = false;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (std::strcmp(a, "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(a, "--version") == 0) {
      std::printf("xmrender %s\n", VEMORA_VERSION);
      return 0;
    }
    if (std::strcmp(a, "--plain") == 0) {
      options.plain = true;
    } else if (std::strcmp(a, "--positions") == 0) {
      options.positions = true;
    } else if (std::strcmp(a, "--rate") == 0 || std::strcmp(a, "--seconds") == 0) {
      if (i + 1 >= argc) return Usage();
      char* end = nullptr;
      const char* value = argv[++i];
      if (a[2] == 'r') {
        const long rate = std::strtol(value, &end, 10);
        if (*end || rate < 1000 || rate > 384000) return Usage();
        options.rate = static_cast<int>(rate);
      } else {
        options.seconds = std::strtod(value, &end);
        if (*end || !(options.seconds >= 0) || !std::isfinite(options.seconds)) return Usage();
        limitGiven = true;
      }
    } else if (a[0] == '-' && a[1] == '-') {
      return Usage();
    } else if (!in) {
      in = a;
    } else if (!out) {
      out = a;
    } else {
      return Usage();
    }
  }
  if (!in || !out) return Usage();

  wavfile::WavWriter wav;
  WavSink sink(wav, out);
  bool songEnded = false;
  if (xmrender::RenderStream(in, options, sink, songEnded)) {
    std::fprintf(stderr, "xmrender: %s: not a playable XM module (version 0x0104)\n", in);
    return 1;
  }
  std::fflush(stdout);
  if (wav.Close(options.rate)) {
    std::fprintf(stderr, "xmrender: %s: cannot write\n", out);
    return 1;
  }
  if (wav.full())
    std::fprintf(stderr, "xmrender: %s: stopped at %u bytes of sound, the most a WAV file can hold\n", out,
                 wav.dataBytes());
  else if (!songEnded && !limitGiven)
    std::fprintf(stderr, "xmrender: %s: the song had not ended after 20 minutes; stopped there (--seconds sets another limit)\n",
                 in);
  return 0;
}
