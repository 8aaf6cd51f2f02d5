// The samples of every corpus song, as loaded, against those a peer player loads.
#include <gtest/gtest.h>
#include <xmp.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "player/Xmplayer.h"

namespace fs = std::filesystem;

TEST(PeerSamples, CorpusSamplesMatchThePeerPlayer) {
  const fs::path dir = fs::path(VEMORA_TESTDATA_DIR) / "xm";
  if (!fs::is_directory(dir)) GTEST_SKIP() << "no corpus at " << dir;
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".xm") continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream f(entry.path(), std::ios::binary);
    std::vector<uint8_t> img{std::istreambuf_iterator<char>(f), {}};
    XMMusicPlayer player;
    ASSERT_FALSE(player.LoadMemory(img.data(), static_cast<int>(img.size()), nullptr));

    xmp_context ctx = xmp_create_context();
    ASSERT_EQ(xmp_load_module_from_memory(ctx, img.data(), static_cast<long>(img.size())), 0);
    xmp_module_info mi;
    xmp_get_module_info(ctx, &mi);
    const xmp_module& mod = *mi.mod;
    ASSERT_EQ(mod.ins, player.instrumentCount);
    for (int i = 0; i < mod.ins; i++) {
      const InstrumentRecord* ins = player.instruments[i];
      ASSERT_EQ(ins ? ins->sampleCount : 0, mod.xxi[i].nsm) << "instrument " << i;
      for (int k = 0; k < mod.xxi[i].nsm; k++) {
        SCOPED_TRACE(testing::Message() << "instrument " << i << " sample " << k);
        const SampleRecord& s = ins->samples[k];
        const xmp_sample& p = mod.xxs[mod.xxi[i].sub[k].sid];
        const int frames = s.length / (s.bytesPerFrame ? s.bytesPerFrame : 1);
        ASSERT_EQ(frames, p.len);
        if (frames == 0) continue;
        EXPECT_EQ(s.bytesPerFrame == 2, (p.flg & XMP_SAMPLE_16BIT) != 0);
        // Same PCM up to the loop's end; both players write their own guard frames behind it.
        const bool loops = s.loopType != 0;
        EXPECT_EQ(std::memcmp(s.data, p.data, loops ? s.loopEnd - s.data : s.length), 0);
        EXPECT_EQ(loops, (p.flg & XMP_SAMPLE_LOOP) != 0);
        if (!loops) continue;
        EXPECT_EQ(s.loopType == 2, (p.flg & XMP_SAMPLE_LOOP_BIDIR) != 0);
        EXPECT_EQ((s.loopStart - s.data) / s.bytesPerFrame, p.lps);
        EXPECT_EQ((s.loopEnd - s.data) / s.bytesPerFrame, p.lpe);
        compared++;
      }
    }
    xmp_release_module(ctx);
    xmp_free_context(ctx);
  }
  EXPECT_GT(compared, 100);
}
