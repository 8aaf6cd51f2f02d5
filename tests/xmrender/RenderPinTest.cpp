// The first 30 s of a few songs, pinned bit for bit in both mixer modes: mixer speed work must
// not move a single sample.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "RenderSong.h"

namespace {

uint64_t Fnv1a(const std::vector<int16_t>& pcm) {
  uint64_t h = 0xcbf29ce484222325ull;
  const auto* bytes = reinterpret_cast<const uint8_t*>(pcm.data());
  for (size_t i = 0; i < pcm.size() * 2; i++) h = (h ^ bytes[i]) * 0x100000001b3ull;
  return h;
}

struct Pin {
  const char* path;  // relative to the corpus, or absolute
  size_t frames;
  uint64_t interpolated, plain;
};

// Ping-pong loops both ways, hard panning (one gain 0), envelopes taking voices to silence, and
// the two full songs (the show's own, and the corpus's longest).
const Pin kPins[] = {
    {"lx_sample_ping_pong.xm", 106795, 0xe529c88819dc3f16ull, 0x713bfe1a9795d6abull},
    {"mpt_BidiPrecision.xm", 84672, 0xa4056b421f5eeb6cull, 0x0c26d605c7c1f326ull},
    {"lx_panning_law.xm", 330720, 0x14de6f24a6a82e70ull, 0xf61429a118fc2d1dull},
    {"lx_volume_envelope.xm", 1323000, 0xe5a83a570e72f785ull, 0x296b7f1451173a73ull},
    {"song_fb_mainzik_1p.xm", 1323000, 0x81a9c962e6b19aecull, 0xc2b0654c60897cf7ull},
    {VEMORA_SOURCE_DIR "/src/assets/song.xm", 1323000, 0xf6d392d665686399ull,
     0x42c89b68594db1eeull},
};

TEST(RenderPin, FirstThirtySecondsAreBitExactInBothModes) {
  for (const Pin& pin : kPins) {
    const std::filesystem::path file = pin.path[0] == '/'
                                           ? std::filesystem::path(pin.path)
                                           : std::filesystem::path(VEMORA_TESTDATA_DIR) / "xm" / pin.path;
    if (!std::filesystem::exists(file)) {
      ADD_FAILURE() << "missing " << file;
      continue;
    }
    for (bool plain : {false, true}) {
      SCOPED_TRACE(file.string() + (plain ? " plain" : " interpolated"));
      xmrender::Options options;
      options.seconds = 30;
      options.plain = plain;
      xmrender::Render render;
      ASSERT_FALSE(xmrender::RenderFile(file.c_str(), options, render));
      EXPECT_EQ(render.pcm.size() / 2, pin.frames);
      EXPECT_EQ(Fnv1a(render.pcm), plain ? pin.plain : pin.interpolated);
    }
  }
}

}  // namespace
