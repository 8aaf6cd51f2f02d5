// xmrender IN.xm OUT.wav [--rate HZ] [--plain] [--seconds S] [--positions]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "RenderSong.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: xmrender IN.xm OUT.wav [--rate HZ] [--plain] [--seconds S] [--positions]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* in = nullptr;
  const char* out = nullptr;
  xmrender::Options options;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
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
        if (*end || !(options.seconds >= 0)) return Usage();
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

  xmrender::Render render;
  if (xmrender::RenderFile(in, options, render)) {
    std::fprintf(stderr, "xmrender: %s: not a playable XM module (version 0x0104)\n", in);
    return 1;
  }
  if (options.positions)
    for (const xmrender::RowStart& r : render.rows)
      std::printf("%lld %d %d\n", static_cast<long long>(r.frame), r.order, r.row);
  if (xmrender::WriteWav(out, render.pcm, options.rate)) {
    std::fprintf(stderr, "xmrender: %s: cannot write\n", out);
    return 1;
  }
  return 0;
}
