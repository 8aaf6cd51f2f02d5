// Whole-song replay speed: the corpus's longest song rendered to memory at 44100 Hz stereo with
// linear interpolation, by this engine and by the two reference players. Each reports seconds
// of audio per CPU second; the references also report their speed relative to ours.
#include <benchmark/benchmark.h>

#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "RenderSong.h"

#ifdef VEMORA_HAVE_PEERS
#include <xmp.h>

#include <libopenmpt/libopenmpt.hpp>
#endif

namespace {

constexpr int kRate = 44100;
// About 4 min 21 s: the longest song of the corpus.
const std::string kSong = std::string(VEMORA_TESTDATA_DIR) + "/xm/song_fb_mainzik_1p.xm";

double oursAudioPerCpu = 0;

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

std::vector<char> ReadSong() {
  std::ifstream in(kSong, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Runs render() (which returns frames of audio produced) and reports the speed.
template <typename Render>
void Measure(benchmark::State& state, Render render, bool ours) {
  double audio = 0, cpu = 0;
  for (auto _ : state) {
    const double start = CpuSeconds();
    const size_t frames = render();
    cpu += CpuSeconds() - start;
    audio += static_cast<double>(frames) / kRate;
    if (frames == 0) {
      state.SkipWithError("nothing rendered (song missing?)");
      return;
    }
  }
  const double speed = cpu > 0 ? audio / cpu : 0;
  state.counters["audio_s_per_cpu_s"] = speed;
  if (ours)
    oursAudioPerCpu = speed;
  else if (oursAudioPerCpu > 0)
    state.counters["vs_vemora"] = speed / oursAudioPerCpu;
}

void BM_WholeSong_Vemora(benchmark::State& state) {
  xmrender::Options options;
  options.rate = kRate;
  xmrender::Render render;  // its buffer is reused, as the references' are below
  Measure(
      state,
      [&] {
        if (xmrender::RenderFile(kSong.c_str(), options, render)) return size_t{0};
        benchmark::DoNotOptimize(render.pcm.data());
        return render.pcm.size() / 2;
      },
      true);
}
BENCHMARK(BM_WholeSong_Vemora)->Unit(benchmark::kMillisecond)->Iterations(3);

#ifdef VEMORA_HAVE_PEERS

void BM_WholeSong_Openmpt(benchmark::State& state) {
  const std::vector<char> image = ReadSong();
  std::vector<int16_t> pcm, chunk(2 * 4096);
  Measure(
      state,
      [&] {
        if (image.empty()) return size_t{0};
        openmpt::module mod(image);
        mod.set_repeat_count(0);
        mod.set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, 2);
        mod.set_render_param(openmpt::module::RENDER_VOLUMERAMPING_STRENGTH, 0);
        pcm.clear();
        while (size_t got = mod.read_interleaved_stereo(kRate, 4096, chunk.data()))
          pcm.insert(pcm.end(), chunk.begin(), chunk.begin() + static_cast<long>(2 * got));
        benchmark::DoNotOptimize(pcm.data());
        return pcm.size() / 2;
      },
      false);
}
BENCHMARK(BM_WholeSong_Openmpt)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WholeSong_Xmp(benchmark::State& state) {
  std::vector<char> image = ReadSong();
  std::vector<int16_t> pcm, chunk(2 * 4096);
  Measure(
      state,
      [&] {
        if (image.empty()) return size_t{0};
        xmp_context ctx = xmp_create_context();
        if (xmp_load_module_from_memory(ctx, image.data(), static_cast<long>(image.size())) != 0) {
          xmp_free_context(ctx);
          return size_t{0};
        }
        xmp_start_player(ctx, kRate, 0);
        xmp_set_player(ctx, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
        pcm.clear();
        while (xmp_play_buffer(ctx, chunk.data(), static_cast<int>(chunk.size() * 2), 1) == 0)
          pcm.insert(pcm.end(), chunk.begin(), chunk.end());
        xmp_end_player(ctx);
        xmp_release_module(ctx);
        xmp_free_context(ctx);
        benchmark::DoNotOptimize(pcm.data());
        return pcm.size() / 2;
      },
      false);
}
BENCHMARK(BM_WholeSong_Xmp)->Unit(benchmark::kMillisecond)->Iterations(3);

#endif

}  // namespace
