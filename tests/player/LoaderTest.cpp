#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "XmImage.h"
#include "player/Modinfo.h"
#include "player/Xmplayer.h"

using namespace xmtest;

namespace {

struct Loaded {
  std::unique_ptr<XMMusicPlayer> player = std::make_unique<XMMusicPlayer>();
  SongInfo* info = nullptr;
  bool failed = true;
  ~Loaded() { std::free(info); }
};

std::unique_ptr<Loaded> Load(const std::vector<uint8_t>& img, bool wantInfo = false,
                             size_t size = SIZE_MAX) {
  auto l = std::make_unique<Loaded>();
  l->failed = l->player->LoadMemory(img.data(), static_cast<int>(std::min(size, img.size())),
                                    wantInfo ? &l->info : nullptr);
  return l;
}

const SampleRecord& FirstSample(const Loaded& l) { return l.player->instruments[0]->samples[0]; }

std::vector<int> Bytes8(const SampleRecord& s, int from, int count) {
  std::vector<int> v;
  for (int i = from; i < from + count; i++) v.push_back(static_cast<int8_t>(s.data[i]));
  return v;
}

std::vector<int> Frames16(const SampleRecord& s, int from, int count) {
  std::vector<int> v;
  for (int i = from; i < from + count; i++) {
    int16_t x;
    std::memcpy(&x, s.data + 2 * i, 2);
    v.push_back(x);
  }
  return v;
}

}  // namespace

TEST(Loader, RefusesVersion0103) {
  std::vector<uint8_t> img = xmw::WriteXm(EmptySong());
  Put16(img, 58, 0x0103);
  EXPECT_TRUE(Load(img)->failed);
}

TEST(Loader, AcceptsDamagedSignatureText) {
  std::vector<uint8_t> img = xmw::WriteXm(EmptySong());
  std::memcpy(img.data(), "Garbled Module!!!", 17);
  img[37] = 0;
  auto l = Load(img);
  EXPECT_FALSE(l->failed);
  EXPECT_EQ(l->player->channelCount, 2);
}

TEST(Loader, RefusesHeaderCountsOutsideTheTables) {
  struct Case {
    const char* what;
    size_t offset;
    uint32_t value;
  } cases[] = {
      {"channels 0", 68, 0},       {"channels 33", 68, 33},   {"patterns 0", 70, 0},
      {"patterns 257", 70, 257},   {"instruments 129", 72, 129}, {"song length 0", 64, 0},
      {"song length 257", 64, 257},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> img = xmw::WriteXm(EmptySong());
    Put16(img, c.offset, c.value);
    auto l = Load(img);
    EXPECT_TRUE(l->failed);
    EXPECT_EQ(l->player->songLength, 0);
    EXPECT_EQ(l->player->patternBlock, nullptr);
  }
  // The limits themselves load.
  xmw::Song wide = EmptySong(32, 1);
  wide.orders.assign(256, 0);
  EXPECT_FALSE(Load(xmw::WriteXm(wide))->failed);
}

TEST(Loader, RefusesMissingOrShortImages) {
  XMMusicPlayer player;
  SongInfo* info = reinterpret_cast<SongInfo*>(1);
  EXPECT_TRUE(player.LoadMemory(nullptr, 100, &info));
  EXPECT_EQ(info, nullptr);
  std::vector<uint8_t> img = xmw::WriteXm(EmptySong());
  EXPECT_TRUE(player.LoadMemory(img.data(), 0, nullptr));
  EXPECT_TRUE(player.LoadMemory(img.data(), -5, nullptr));
  EXPECT_TRUE(player.LoadMemory(img.data(), 335, nullptr));  // order table cut off
  EXPECT_FALSE(player.LoadMemory(img.data(), static_cast<int>(img.size()), nullptr));
}

TEST(Loader, RefusesPatternsLongerThan1024Rows) {
  xmw::Song song = EmptySong();
  song.patterns[0].rows = 1024;
  std::vector<uint8_t> img = xmw::WriteXm(song);
  EXPECT_FALSE(Load(img)->failed);
  Put16(img, PatternHeader(img, 0) + 5, 1025);
  EXPECT_TRUE(Load(img)->failed);
}

// Any prefix of a song must load or fail cleanly; headers must be whole, while sample data cut
// off by the end plays as silence.
TEST(Loader, TruncatedImagesFailInHeadersAndSilenceCutSampleData) {
  std::vector<int16_t> pcm(300);
  for (int i = 0; i < 300; i++) pcm[i] = static_cast<int16_t>((i * 7) % 200 - 100);
  xmw::Sample s;
  s.pcm = pcm;
  s.loopType = 1;
  s.loopStart = 100;
  s.loopLength = 150;
  xmw::Song song = EmptySong(2, 2);
  song.patterns[0].cells.resize(8);
  song.patterns[0].cells[0] = {49, 1, 0, 0, 0};
  song.instruments.push_back(InstrumentOf({s}));
  const std::vector<uint8_t> img = xmw::WriteXm(song);
  const size_t dataStart = SampleHeader(img, 0, 0) + 40;
  ASSERT_EQ(dataStart + 300, img.size());

  for (size_t cut = 0; cut <= img.size(); cut++) {
    SCOPED_TRACE(cut);
    auto l = Load(img, true, cut);
    if (cut < dataStart) {
      EXPECT_TRUE(l->failed);
      EXPECT_EQ(l->player->instruments[0], nullptr);
      continue;
    }
    ASSERT_FALSE(l->failed);
    const SampleRecord& r = FirstSample(*l);
    ASSERT_EQ(r.length, 300);
    EXPECT_EQ(r.valid, 1);
    EXPECT_EQ(r.loopType, 1);
    EXPECT_EQ(r.loopEnd - r.data, 250);
    EXPECT_EQ(r.end - r.data, 300);
    const int present = static_cast<int>(cut - dataStart);
    auto expected = [&](int i) { return i < present ? pcm[i] : 0; };
    for (int i = 0; i < 303; i++) {
      // The two frames after the loop's end repeat its start; then three frames of padding.
      const int want = i >= 300 ? 0 : (i == 250 || i == 251) ? expected(i - 150) : expected(i);
      ASSERT_EQ(static_cast<int8_t>(r.data[i]), want) << i;
    }
  }
}

TEST(Loader, SilenceForCutDataIsBoundedByTheImageSize) {
  xmw::Song song = EmptySong();
  song.instruments.push_back(InstrumentOf({Sample8({1, 2, 3, 4}), Sample8({5, 6})}));
  std::vector<uint8_t> img = xmw::WriteXm(song);
  img.resize(img.size() - 2);  // the second sample's data is gone
  const size_t h = SampleHeader(img, 0, 0);
  {
    auto l = Load(img);
    const InstrumentRecord& r = *l->player->instruments[0];
    EXPECT_EQ(Bytes8(r.samples[0], 0, 4), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(r.samples[1].length, 2);
    EXPECT_EQ(Bytes8(r.samples[1], 0, 2), (std::vector<int>{0, 0}));
  }
  // The first sample now claims all but one byte of the image's size in silence: the second,
  // wholly missing, no longer fits and is left empty.
  Put32(img, h, static_cast<uint32_t>(4 + img.size() - 1));
  {
    auto l = Load(img);
    const InstrumentRecord& r = *l->player->instruments[0];
    EXPECT_EQ(r.samples[0].length, static_cast<int>(4 + img.size() - 1));
    EXPECT_EQ(Bytes8(r.samples[0], 3, 2), (std::vector<int>{4, 0}));
    EXPECT_EQ(r.samples[1].valid, 0);
    EXPECT_EQ(r.samples[1].data, nullptr);
  }
  // A length near 4 GB ends where the image does and spends none of the silence.
  Put32(img, h, 0xFFFFFFF0u);
  auto l = Load(img);
  EXPECT_EQ(l->player->instruments[0]->samples[0].length, 4);
  EXPECT_EQ(l->player->instruments[0]->samples[0].end - l->player->instruments[0]->samples[0].data, 3);
  EXPECT_EQ(l->player->instruments[0]->samples[1].length, 2);
}

TEST(Loader, LoopPointsAreClampedIntoTheSample) {
  auto loadLoop = [](uint8_t type, uint32_t start, uint32_t length) {
    std::vector<int16_t> pcm(100, 1);
    xmw::Sample s;
    s.pcm = pcm;
    s.loopType = type;
    s.loopStart = start;
    s.loopLength = length;
    return SongWith({s});
  };
  {
    SCOPED_TRACE("loop reaching past the end is cut at the end");
    auto l = Load(loadLoop(1, 40, 500));
    const SampleRecord& r = FirstSample(*l);
    EXPECT_EQ(r.loopType, 1);
    EXPECT_EQ(r.loopStart - r.data, 40);
    EXPECT_EQ(r.loopEnd - r.data, 100);
    EXPECT_EQ(r.end - r.data, 100);
  }
  {
    SCOPED_TRACE("loop starting past the end is switched off");
    auto l = Load(loadLoop(2, 150, 10));
    const SampleRecord& r = FirstSample(*l);
    EXPECT_EQ(r.loopType, 0);
    EXPECT_EQ(r.end - r.data, 99);
  }
  {
    SCOPED_TRACE("loop of length 0 plays without a loop");
    auto l = Load(loadLoop(1, 10, 0));
    EXPECT_EQ(FirstSample(*l).loopType, 0);
    EXPECT_EQ(FirstSample(*l).end - FirstSample(*l).data, 99);
  }
  {
    SCOPED_TRACE("loop type 3 plays without a loop");
    std::vector<uint8_t> img = loadLoop(1, 10, 20);
    const size_t type = SampleHeader(img, 0, 0) + 14;
    img[type] |= 3;
    auto l = Load(img);
    EXPECT_EQ(FirstSample(*l).loopType, 0);
    EXPECT_EQ(FirstSample(*l).end - FirstSample(*l).data, 99);
  }
  {
    SCOPED_TRACE("loop start and length near 2^32 do not wrap");
    std::vector<uint8_t> img = loadLoop(1, 10, 20);
    const size_t h = SampleHeader(img, 0, 0);
    Put32(img, h + 4, 0xFFFFFFF0u);
    Put32(img, h + 8, 0x20u);
    auto l = Load(img);
    EXPECT_EQ(FirstSample(*l).loopType, 0);
    EXPECT_EQ(FirstSample(*l).loopStart - FirstSample(*l).data, 100);
  }
  {
    SCOPED_TRACE("ping-pong type is kept");
    auto l = Load(loadLoop(2, 10, 20));
    EXPECT_EQ(FirstSample(*l).loopType, 2);
  }
}

TEST(Loader, NonLoopingSampleEndsOneFrameEarly) {
  std::vector<int16_t> pcm(1000);
  for (int i = 0; i < 1000; i++) pcm[i] = static_cast<int16_t>(i % 100);
  xmw::Sample s;
  s.pcm = pcm;
  auto l = Load(SongWith({s}));
  const SampleRecord& r = FirstSample(*l);
  EXPECT_EQ(r.format, 1);
  EXPECT_EQ(r.bytesPerFrame, 1);
  EXPECT_EQ(r.length, 1000);
  EXPECT_EQ(r.end - r.data, 999);
  EXPECT_EQ(Bytes8(r, 1000, 3), (std::vector<int>{0, 0, 0}));  // padding
}

TEST(Loader, ForwardLoopRepeatsTwoFramesAfterTheLoopEnd) {
  std::vector<int16_t> pcm(1000);
  for (int i = 0; i < 1000; i++) pcm[i] = static_cast<int16_t>(i % 100 - 50);
  xmw::Sample s;
  s.pcm = pcm;
  s.loopType = 1;
  s.loopStart = 300;
  s.loopLength = 700;
  auto l = Load(SongWith({s}));
  const SampleRecord& r = FirstSample(*l);
  EXPECT_EQ(r.end - r.data, 1000);
  EXPECT_EQ(r.loopStart - r.data, 300);
  EXPECT_EQ(r.loopEnd - r.data, 1000);
  EXPECT_EQ(Bytes8(r, 1000, 3), (std::vector<int>{pcm[300], pcm[301], 0}));

  // A one-frame loop copies over itself: the seam copy must be an overlapping move.
  xmw::Sample tiny = Sample16({10, 20, 30});
  tiny.loopType = 1;
  tiny.loopStart = 2;
  tiny.loopLength = 1;
  auto t = Load(SongWith({tiny}));
  EXPECT_EQ(Frames16(FirstSample(*t), 0, 6), (std::vector<int>{10, 20, 30, 30, 0, 0}));
}

TEST(Loader, SixteenBitSamplesKeepWholeFrames) {
  xmw::Sample s = Sample16({100, 200, 300, 400, 500});
  s.loopType = 1;
  s.loopStart = 1;
  s.loopLength = 2;
  std::vector<uint8_t> img = SongWith({s});
  const size_t h = SampleHeader(img, 0, 0);
  Put32(img, h + 0, 9);  // 4.5 frames
  Put32(img, h + 4, 3);  // loop start inside frame 1
  Put32(img, h + 8, 5);  // loop length 2.5 frames
  auto l = Load(img);
  const SampleRecord& r = FirstSample(*l);
  EXPECT_EQ(r.format, 3);
  EXPECT_EQ(r.length, 8);
  EXPECT_EQ(r.loopStart - r.data, 2);
  EXPECT_EQ(r.loopEnd - r.data, 6);
  // Frame 3 lies at the loop end and takes the loop start's frames, as does the padding.
  EXPECT_EQ(Frames16(r, 0, 6), (std::vector<int>{100, 200, 300, 200, 300, 0}));

  Put32(img, h + 0, 1);  // less than a frame: no sample at all
  auto empty = Load(img);
  EXPECT_EQ(FirstSample(*empty).valid, 0);
  EXPECT_EQ(FirstSample(*empty).format, 0);
  EXPECT_EQ(FirstSample(*empty).data, nullptr);
}

TEST(Loader, DecodesDeltaPcm) {
  auto l8 = Load(SongWith({Sample8({0, 1, -1, 127, -128, 5, 127, -128})}));
  EXPECT_EQ(Bytes8(FirstSample(*l8), 0, 8), (std::vector<int>{0, 1, -1, 127, -128, 5, 127, -128}));
  auto l16 = Load(SongWith({Sample16({0, 1000, -1000, 32767, -32768, 12345})}));
  EXPECT_EQ(Frames16(FirstSample(*l16), 0, 6),
            (std::vector<int>{0, 1000, -1000, 32767, -32768, 12345}));
  EXPECT_EQ(FirstSample(*l16).valid, 1);
}

TEST(Loader, OrderNamingAMissingPatternPlaysPatternZero) {
  xmw::Song song = EmptySong(4, 17);
  for (int p = 0; p < 17; p++) song.patterns[p].rows = 10 + p;
  song.orders = {3, 200, 16};
  auto l = Load(xmw::WriteXm(song));
  ASSERT_FALSE(l->failed);
  const XMMusicPlayer& p = *l->player;
  EXPECT_EQ(p.orderTable[1], 200);
  EXPECT_EQ(p.orderRows[1], 10);
  EXPECT_EQ(p.orderData[1], p.patternBlock);
  EXPECT_EQ(p.orderRows[0], 13);
  EXPECT_EQ(p.orderData[0], p.patternBlock + (10 + 11 + 12) * 4);
  EXPECT_EQ(p.orderRows[2], 26);
  EXPECT_EQ(p.orderData[2], p.patternBlock + (10 + 25) * 16 / 2 * 4);
  // Unused positions beyond the song read the zeros of the header: pattern 0.
  EXPECT_EQ(p.orderData[255], p.patternBlock);
}

TEST(Loader, UnpacksPatternCells) {
  xmw::Song song = EmptySong(3, 1);
  song.patterns[0].cells.resize(12);
  song.patterns[0].cells[0] = {49, 1, 0x40, 0x0C, 0x20};  // all five: stored unpacked
  song.patterns[0].cells[4] = {97, 0, 0, 0, 0};
  song.patterns[0].cells[11] = {0, 0, 0, 0x0F, 0x03};
  auto l = Load(xmw::WriteXm(song));
  const PatternCell* c = l->player->patternBlock;
  EXPECT_EQ(std::vector<int>({c[0].note, c[0].instrument, c[0].volume, c[0].effect, c[0].param}),
            std::vector<int>({49, 1, 0x40, 0x0C, 0x20}));
  EXPECT_EQ(c[4].note, 97);
  EXPECT_EQ(c[4].instrument, 0);
  EXPECT_EQ(c[11].effect, 0x0F);
  EXPECT_EQ(c[11].param, 0x03);
  EXPECT_EQ(c[5].note, 0);
}

TEST(Loader, PatternsDecodeOnlyInsideTheirPackedData) {
  xmw::Song song = EmptySong(2, 1);
  song.patterns[0].cells.assign(8, xmw::Cell{1, 1, 0, 0, 0});  // 3 bytes a cell: 0x83 1 1
  std::vector<uint8_t> img = xmw::WriteXm(song);
  const size_t h = PatternHeader(img, 0);
  Put16(img, h + 7, 4);  // one cell and the mask byte of the next
  auto l = Load(img);
  ASSERT_FALSE(l->failed);
  const PatternCell* c = l->player->patternBlock;
  EXPECT_EQ(c[0].note, 1);
  EXPECT_EQ(c[0].instrument, 1);
  for (int i = 1; i < 8; i++) EXPECT_EQ(c[i].note + c[i].instrument, 0) << i;

  // Packed size past the image's end: decoding stops at the end of the image.
  Put16(img, h + 7, 0xFFFF);
  auto all = Load(img);
  ASSERT_FALSE(all->failed);
  for (int i = 0; i < 8; i++) EXPECT_EQ(all->player->patternBlock[i].instrument, 1) << i;
  img.resize(img.size() - 2);  // the last cell loses its note and instrument bytes
  auto cut = Load(img);
  EXPECT_EQ(cut->player->patternBlock[7].note, 0);
  EXPECT_EQ(cut->player->patternBlock[6].note, 1);
}

TEST(Loader, PatternOfZeroRowsLoadsAs64EmptyRows) {
  xmw::Song song = EmptySong(2, 2);
  std::vector<uint8_t> img = xmw::WriteXm(song);
  Put16(img, PatternHeader(img, 0) + 5, 0);
  auto l = Load(img, true);
  ASSERT_FALSE(l->failed);
  EXPECT_EQ(l->player->orderRows[0], 64);
  EXPECT_EQ(l->player->orderData[1], l->player->patternBlock + 64 * 2);
  EXPECT_EQ(l->info->orderRows[0], 64);
}

TEST(Loader, InstrumentWithoutSamplesLeavesItsSlotEmpty) {
  xmw::Song song = EmptySong();
  song.instruments.push_back(InstrumentOf({}));
  song.instruments.push_back(InstrumentOf({Sample8({3, 4, 5})}));
  auto l = Load(xmw::WriteXm(song));
  ASSERT_FALSE(l->failed);
  EXPECT_EQ(l->player->instrumentCount, 2);
  EXPECT_EQ(l->player->instruments[0], nullptr);
  ASSERT_NE(l->player->instruments[1], nullptr);
  EXPECT_EQ(Bytes8(l->player->instruments[1]->samples[0], 0, 3), (std::vector<int>{3, 4, 5}));
}

TEST(Loader, CopiesAndClampsInstrumentFields) {
  xmw::Instrument ins = InstrumentOf({Sample8({1}), Sample8({2})});
  ins.keymap.fill(1);
  ins.keymap[0] = 0;
  ins.volumeEnvelope.points = {{0, 64}, {10, 200}, {20, 0}};
  ins.volumeEnvelope.sustain = 1;
  ins.volumeEnvelope.loopStart = 0;
  ins.volumeEnvelope.loopEnd = 9;  // beyond the points
  ins.volumeEnvelope.type = 7;
  ins.panningEnvelope.points = {{0, 32}, {5, 64}};
  ins.panningEnvelope.type = 1;
  ins.fadeout = 0x1234;
  ins.samples[0].volume = 80;
  ins.samples[0].finetune = -100;
  ins.samples[0].relativeNote = -12;
  ins.samples[0].panning = 255;
  xmw::Song song = EmptySong();
  song.instruments.push_back(ins);
  std::vector<uint8_t> img = xmw::WriteXm(song);
  const size_t at = InstrumentHeader(img, 0);
  img[at + 226] = 40;  // panning point count beyond the 12 stored

  auto l = Load(img);
  const InstrumentRecord& r = *l->player->instruments[0];
  EXPECT_EQ(r.sampleCount, 2);
  EXPECT_EQ(r.keymap[0], 0);
  EXPECT_EQ(r.keymap[95], 1);
  EXPECT_EQ(r.volumeEnvelope[1].tick, 10);
  EXPECT_EQ(r.volumeEnvelope[1].value, 64);
  EXPECT_EQ(r.volumePoints, 3);
  EXPECT_EQ(r.volumeSustain, 1);
  EXPECT_EQ(r.volumeLoopEnd, 2);
  EXPECT_EQ(r.volumeType, 7);
  EXPECT_EQ(r.panningPoints, 12);
  EXPECT_EQ(r.panningEnvelope[1].value, 64);
  EXPECT_EQ(r.panningType, 1);
  EXPECT_EQ(r.fadeout, 0x1234);
  const SampleRecord& s = r.samples[0];
  EXPECT_EQ(s.volume, 64);
  EXPECT_EQ(s.finetune, -100);
  EXPECT_EQ(s.relativeNote, -12);
  EXPECT_EQ(s.panning, 255);
  EXPECT_EQ(Bytes8(r.samples[1], 0, 1), (std::vector<int>{2}));
}

TEST(Loader, SampleHeaderSizeBelowItsFieldsIsTakenAs40) {
  xmw::Song song = EmptySong();
  song.instruments.push_back(InstrumentOf({Sample8({1, 2}), Sample8({3, 4, 5})}));
  song.instruments.push_back(InstrumentOf({Sample8({6})}));
  std::vector<uint8_t> img = xmw::WriteXm(song);
  Put32(img, InstrumentHeader(img, 0) + 29, 0);
  auto l = Load(img);
  ASSERT_FALSE(l->failed);
  EXPECT_EQ(Bytes8(l->player->instruments[0]->samples[1], 0, 3), (std::vector<int>{3, 4, 5}));
  EXPECT_EQ(Bytes8(l->player->instruments[1]->samples[0], 0, 1), (std::vector<int>{6}));
}

namespace {
int failOnCall = -1;
int calls = 0;
void* FailingAllocate(size_t count, size_t size) {
  return calls++ == failOnCall ? nullptr : calloc(count, size);
}
struct AllocatorSwap {
  explicit AllocatorSwap(int n) {
    failOnCall = n;
    calls = 0;
    xmLoaderAllocate = FailingAllocate;
  }
  ~AllocatorSwap() { xmLoaderAllocate = calloc; }
};
}  // namespace

TEST(Loader, UnallocatableInstrumentIsSilentAndTheNextStillLoads) {
  xmw::Song song = EmptySong();
  song.instruments.push_back(InstrumentOf({Sample8({1, 2}), Sample8({3, 4, 5})}));
  song.instruments.push_back(InstrumentOf({Sample8({6, 7})}));
  const std::vector<uint8_t> img = xmw::WriteXm(song);
  // Allocation order: pattern block, then per instrument the record, its array, its data.
  for (int which : {1, 2}) {  // the record, then the sample array
    SCOPED_TRACE(which);
    AllocatorSwap swap(which);
    auto l = Load(img);
    ASSERT_FALSE(l->failed);
    EXPECT_EQ(l->player->instruments[0], nullptr);
    ASSERT_NE(l->player->instruments[1], nullptr);
    EXPECT_EQ(Bytes8(l->player->instruments[1]->samples[0], 0, 2), (std::vector<int>{6, 7}));
  }
  {
    SCOPED_TRACE("sample buffer");
    AllocatorSwap swap(3);
    auto l = Load(img);
    ASSERT_FALSE(l->failed);
    EXPECT_EQ(l->player->instruments[0]->samples[0].valid, 0);
    EXPECT_EQ(Bytes8(l->player->instruments[0]->samples[1], 0, 3), (std::vector<int>{3, 4, 5}));
  }
  {
    SCOPED_TRACE("pattern block");
    AllocatorSwap swap(0);
    EXPECT_TRUE(Load(img)->failed);
  }
}

TEST(Loader, MemoryUsedCountsEveryAllocationButPadding) {
  xmw::Song song = EmptySong(3, 2);
  song.patterns[1].rows = 10;
  song.instruments.push_back(InstrumentOf({Sample8({1, 2, 3}), Sample16({1, 2})}));
  song.instruments.push_back(InstrumentOf({}));
  song.instruments.push_back(InstrumentOf({Sample8({9})}));
  auto l = Load(xmw::WriteXm(song));
  const int expected = static_cast<int>(sizeof(XMMusicPlayer) + (4 + 10) * 3 * 5 +
                                        2 * sizeof(InstrumentRecord) + 3 * sizeof(SampleRecord) +
                                        3 + 4 + 1);
  EXPECT_EQ(l->player->memoryUsed, expected);
  l->player->Unload();
  EXPECT_EQ(l->player->memoryUsed, static_cast<int>(sizeof(XMMusicPlayer)));
  EXPECT_EQ(l->player->instruments[0], nullptr);
  EXPECT_EQ(l->player->patternBlock, nullptr);
  EXPECT_EQ(l->player->songLength, 0);
}

TEST(Loader, SongInfoDescribesTheSong) {
  xmw::Song song = EmptySong(5, 3);
  song.name = "A name of 20 chars!!";
  song.patterns[2].rows = 7;
  song.orders = {2, 0, 2, 1};
  xmw::Instrument a = InstrumentOf({Sample8(std::initializer_list<int16_t>{}),
                                    Sample8({1, 2, 3})});
  a.name = "lead";
  a.samples[0].name = "first";
  a.samples[1].name = "second";
  std::vector<int16_t> big(600, 3);
  xmw::Sample large;
  large.pcm = big;
  large.sixteenBit = true;
  large.name = std::string(22, 'x');
  xmw::Instrument b = InstrumentOf({large});
  b.name = "bass";
  song.instruments = {a, InstrumentOf({}), b};
  song.instruments[1].name = "empty";
  const std::vector<uint8_t> img = xmw::WriteXm(song);
  auto l = Load(img, true);
  ASSERT_FALSE(l->failed);
  ASSERT_NE(l->info, nullptr);
  const SongInfo& s = *l->info;
  EXPECT_STREQ(s.name, "A name of 20 chars!!");
  EXPECT_EQ(s.reserved, 0);
  EXPECT_STREQ(s.formatName, "FastTracker II Module, F1.04");
  EXPECT_EQ(s.imageSize, static_cast<int>(img.size()));
  EXPECT_EQ(s.memoryUsed, l->player->memoryUsed);
  EXPECT_EQ(s.channelCount, 5);
  EXPECT_EQ(s.songLength, 4);
  EXPECT_EQ(std::vector<int>(s.orderRows, s.orderRows + 4), (std::vector<int>{7, 4, 7, 4}));
  EXPECT_EQ(s.patternCount, 3);
  EXPECT_EQ(s.sampleCount, 3);
  EXPECT_EQ(s.instrumentCount, 3);
  EXPECT_STREQ(s.instruments[0].name, "lead                  ");
  EXPECT_STREQ(s.instruments[1].name, "empty                 ");
  EXPECT_STREQ(s.instruments[2].name, "bass                  ");
  EXPECT_STREQ(s.samples[0].name, "first                 ");
  EXPECT_STREQ(s.samples[1].name, "second                ");
  EXPECT_STREQ(s.samples[2].name, std::string(22, 'x').c_str());
  for (const SongInfoSample& e : std::vector<SongInfoSample>(s.samples, s.samples + 3)) {
    for (int w : e.reserved) EXPECT_EQ(w, 0);
  }
  // Head, names, row counts, tables and names (each aligned for its pointers), then one byte per
  // started 256 bytes of sample data: 0 + 1 (3 bytes) + 5 (1200 bytes).
  size_t size = sizeof(SongInfo) + 21 + 29;
  size = (size + 3) / 4 * 4 + 4 * 4;
  size = (size + 7) / 8 * 8 + 3 * (sizeof(SongInfoInstrument) + 23);
  size = (size + 7) / 8 * 8 + 3 * (sizeof(SongInfoSample) + 23) + 6;
  EXPECT_EQ(s.blockSize, static_cast<int>(size));
  // Everything the block points at lies inside it.
  const char* begin = reinterpret_cast<const char*>(&s);
  EXPECT_GE(s.samples[2].name, begin);
  EXPECT_LE(s.samples[2].name + 23, begin + s.blockSize - 6);
}

TEST(Loader, LoadFileReadsTheWholeFile) {
  const std::vector<uint8_t> img = SongWith({Sample8({5, 6})});
  const std::string path = ::testing::TempDir() + "/loader_test.xm";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(img.data(), 1, img.size(), f);
  std::fclose(f);
  XMMusicPlayer player;
  SongInfo* info = nullptr;
  EXPECT_FALSE(player.LoadFile(path.c_str(), &info));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->imageSize, static_cast<int>(img.size()));
  std::free(info);
  EXPECT_EQ(Bytes8(player.instruments[0]->samples[0], 0, 2), (std::vector<int>{5, 6}));
  EXPECT_EQ(player.image, nullptr);
  EXPECT_TRUE(player.LoadFile(nullptr, &info));
  EXPECT_EQ(info, nullptr);
  EXPECT_TRUE(player.LoadFile((path + ".missing").c_str(), nullptr));
  // A file that does not parse still leaves a player that can be positioned.
  std::vector<uint8_t> old = img;
  Put16(old, 58, 0x0103);
  f = std::fopen(path.c_str(), "wb");
  std::fwrite(old.data(), 1, old.size(), f);
  std::fclose(f);
  EXPECT_TRUE(player.LoadFile(path.c_str(), nullptr));
  EXPECT_EQ(player.songLength, 0);
  EXPECT_EQ(player.order, 0);
  std::remove(path.c_str());
}

TEST(Loader, LoadSetsTheSongUpForPlaying) {
  xmw::Song song = EmptySong(6, 2);
  song.speed = 5;
  song.bpm = 130;
  song.linearFrequencies = false;
  song.restartPosition = 1;
  XMMusicPlayer player;
  const std::vector<uint8_t> img = xmw::WriteXm(song);
  ASSERT_FALSE(player.LoadMemory(img.data(), static_cast<int>(img.size()), nullptr));
  EXPECT_EQ(player.speed, 5);
  EXPECT_EQ(player.bpm, 130);
  EXPECT_EQ(player.initialSpeed, 5);
  EXPECT_EQ(player.restartPosition, 1);
  EXPECT_EQ(player.amigaFrequencies, 1);
  EXPECT_EQ(player.periodFunction, &AmigaPeriod);
  EXPECT_EQ(player.rowCursor, player.patternBlock);
  EXPECT_EQ(player.patternRows, 4);
  EXPECT_EQ(player.image, nullptr);
  song.linearFrequencies = true;
  const std::vector<uint8_t> linear = xmw::WriteXm(song);
  ASSERT_FALSE(player.LoadMemory(linear.data(), static_cast<int>(linear.size()), nullptr));
  EXPECT_EQ(player.amigaFrequencies, 0);
  EXPECT_EQ(player.stepFunction, &LinearStep);
}
