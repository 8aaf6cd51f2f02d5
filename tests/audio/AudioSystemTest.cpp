// The audio system: block plan, position ring, player thread, start and stop.
#include <atomic>
#include <cstdlib>
#include <thread>

#include "AudioFixture.h"
#include "assets/Assets.h"
#include "audio/Mixer.h"
#include "audio/Out_ds.h"
#include "audio/Out_wave.h"
#include "player/Xmplayer.h"

namespace {

using AudioSystem = AudioTest;

void Publish(PlayerInfo* info, int order, int row) {
  info->position.store(static_cast<uint32_t>(order) << 16 | static_cast<uint32_t>(row));
}

// A start whose driver refuses to open: the ring exists, no thread runs.
void StartWithoutThread() {
  AudioCreate();
  vt::FailWaveOutOpen();
  ASSERT_TRUE(AudioStart());
  ASSERT_NE(infoRing, nullptr);
  ASSERT_EQ(threadInfo->thread, nullptr);
}

struct Plan {
  int rate, framesPerBlock, bufferBytes;
};
class BlockPlan : public AudioTest, public ::testing::WithParamInterface<Plan> {};

TEST_P(BlockPlan, BlocksAreASeventiethAndBuffersFourBlocks) {
  const Plan& plan = GetParam();
  mixRate = plan.rate;
  AudioCreate();
  ASSERT_FALSE(AudioStart());
  EXPECT_EQ(framesPerBlock, plan.framesPerBlock);
  EXPECT_EQ(blocksPerBuffer, 4);
  EXPECT_EQ(ringSize, 64);
  auto* wave = static_cast<Out_Wave*>(drivers[0]);
  EXPECT_EQ(wave->bufferBytes, plan.bufferBytes);
  EXPECT_EQ(wave->bufferCount, 16);
  EXPECT_EQ(GetThreadPriority(threadInfo->thread), THREAD_PRIORITY_HIGHEST);
  Sleep(1000);
  auto streams = vt::PlayedAudioStreams();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].rate, plan.rate);
  EXPECT_EQ(streams[0].underruns, 0u);
  // A second of audio has played; the device reports it buffer by buffer.
  EXPECT_LE(streams[0].bytes.size(), 4u * plan.rate);
  EXPECT_GT(streams[0].bytes.size(), 4u * plan.rate - plan.bufferBytes);
  EXPECT_EQ(streams[0].bytes.size() % plan.bufferBytes, 0u);
}

INSTANTIATE_TEST_SUITE_P(AudioSystem, BlockPlan,
                         ::testing::Values(Plan{44100, 630, 10080}, Plan{45454, 649, 10384}, Plan{11025, 157, 2512}));

TEST_F(AudioSystem, ThePrefillQueuesFifteenBuffersBeforeAnythingPlays) {
  AudioCreate();
  ASSERT_FALSE(AudioStart());
  Sleep(0);  // the player thread runs until it waits
  EXPECT_EQ(writeSlot.load(), 60);
  EXPECT_EQ(drivers[0]->buffersSubmitted, 15);
  EXPECT_EQ(static_cast<Out_Wave*>(drivers[0])->freeBuffers.load(), 0);
  EXPECT_TRUE(vt::PlayedAudioStreams()[0].bytes.empty());
}

TEST_F(AudioSystem, RefusesToStartWithoutABlockOrWithABufferBeyond32Bits) {
  AudioCreate();
  mixRate = 69;
  EXPECT_TRUE(AudioStart());
  AudioStop();
  mixRate = 44100;
  stereo = 1 << 28;
  EXPECT_TRUE(AudioStart());
  AudioStop();
  stereo = 1;
  EXPECT_TRUE(vt::PlayedAudioStreams().empty());  // no driver was opened
}

void* (*const realAllocate)(size_t) = audioAllocate;
int allocationsLeft = 0;
void* Failing(size_t bytes) { return allocationsLeft-- > 0 ? realAllocate(bytes) : nullptr; }

TEST_F(AudioSystem, FailsToStartWhenTheRingOrTheThreadBlockCannotBeAllocated) {
  AudioCreate();
  audioAllocate = Failing;
  const int ringAllocations = 1 + 64 * 2;  // the ring, then a record and its levels per slot
  for (int left : {0, 1, 30, ringAllocations}) {
    allocationsLeft = left;
    EXPECT_TRUE(AudioStart()) << left;
    EXPECT_EQ(infoRing, nullptr) << left;
    AudioStop();
  }
  audioAllocate = realAllocate;
  EXPECT_TRUE(vt::PlayedAudioStreams().empty());
  EXPECT_FALSE(AudioStart());
}

TEST_F(AudioSystem, ReadSlotNeverPassesTheWriteSlot) {
  StartWithoutThread();
  for (int i = 0; i < 5; ++i) AdvanceWriteSlot();
  AudioAdvance(3);
  EXPECT_EQ(readSlot.load(), 3);
  AudioAdvance(100);
  EXPECT_EQ(readSlot.load(), 5);
  EXPECT_EQ(audibleInfo, infoRing[5]);
  AudioAdvance(0);
  EXPECT_EQ(readSlot.load(), 5);
}

TEST_F(AudioSystem, AWriterSixtyThreeAheadKeepsRewritingTheSameRecord) {
  StartWithoutThread();
  for (int i = 0; i < 200; ++i) AdvanceWriteSlot();
  EXPECT_EQ(writeSlot.load(), 63);
  EXPECT_EQ(writeInfo, infoRing[63]);
  AudioAdvance(1);
  AdvanceWriteSlot();
  EXPECT_EQ(writeSlot.load(), 0);  // wrapped, one behind the reader
  AdvanceWriteSlot();
  EXPECT_EQ(writeSlot.load(), 0);
}

TEST_F(AudioSystem, PositionReachedComparesOrderThenRow) {
  EXPECT_FALSE(AudioPositionReached(0, 0));  // before AudioStart
  StartWithoutThread();
  struct Heard {
    int order, row;
    bool reached;
  };
  for (const Heard& h : {Heard{3, 16, true}, Heard{3, 40, true}, Heard{4, 0, true}, Heard{3, 15, false},
                         Heard{2, 63, false}}) {
    Publish(audibleInfo, h.order, h.row);
    EXPECT_EQ(AudioPositionReached(3, 16), h.reached) << h.order << "/" << h.row;
  }
}

TEST_F(AudioSystem, StopWithoutStartDoesNothing) {
  AudioCreate();
  AudioStop();
  EXPECT_TRUE(vt::MessageBoxes().empty());
  EXPECT_EQ(threadInfo, nullptr);
}

TEST_F(AudioSystem, StopAfterAFailedOpenFreesTheRingAndTheThreadBlock) {
  StartWithoutThread();
  AudioStop();
  EXPECT_EQ(infoRing, nullptr);
  EXPECT_EQ(threadInfo, nullptr);
  EXPECT_EQ(audibleInfo, nullptr);
  EXPECT_TRUE(vt::MessageBoxes().empty());
  EXPECT_FALSE(AudioPositionReached(0, 0));
}

class StopDriver : public AudioTest, public ::testing::WithParamInterface<int> {};

TEST_P(StopDriver, EndsTheThreadBeforeClosingTheDriver) {
  audioDriver = GetParam();
  mainWindow = MakeWindow();
  AudioCreate();
  ASSERT_FALSE(AudioStart());
  HANDLE thread = threadInfo->thread;
  Sleep(2000);
  const uint64_t before = vt::VirtualTimeMs();
  AudioStop();
  EXPECT_LT(vt::VirtualTimeMs() - before, 250u);
  EXPECT_TRUE(vt::MessageBoxes().empty());
  DWORD code = 0;
  EXPECT_FALSE(GetExitCodeThread(thread, &code));  // its handle is closed
  const size_t played = vt::PlayedAudioStreams()[0].bytes.size();
  Sleep(500);
  EXPECT_EQ(vt::PlayedAudioStreams()[0].bytes.size(), played);  // closed: nothing more plays
}

void ExpectOneStopFailureMessage() {
  const auto boxes = vt::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "PlayerThread failed to stop");
  EXPECT_EQ(boxes[0].caption, "Problem");
  EXPECT_EQ(boxes[0].owner, mainWindow);
  EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
}

TEST_P(StopDriver, AThreadStuckInTheDriverIsReportedTerminatedAndItsResourcesFreed) {
  audioDriver = GetParam();
  mainWindow = MakeWindow();
  AudioCreate();
  vt::HangAudioWrites();
  ASSERT_FALSE(AudioStart());
  Sleep(100);
  const uint64_t before = vt::VirtualTimeMs();
  AudioStop();
  EXPECT_EQ(vt::VirtualTimeMs() - before, 500u);
  ExpectOneStopFailureMessage();
  // Stuck inside the platform, it has stopped for good: everything goes as after a clean stop.
  EXPECT_EQ(threadInfo, nullptr);
  EXPECT_EQ(infoRing, nullptr);
  vt::HangAudioWrites(false);
}

// A player whose render, once asked, is held busy outside the platform until the test lets it
// go: a thread still rendering when the stop comes.
std::atomic<bool> renderReleased{false};

class HeldPlayer : public XMMusicPlayer {
 public:
  void Render(SoftwareMixer* blockMixer, uint8_t*& buffer, int frames, PlayerInfo* info, uint8_t clear) override {
    if (holdNext.exchange(false)) {
      vt::LeaveScheduler();
      while (!renderReleased) std::this_thread::yield();
    }
    XMMusicPlayer::Render(blockMixer, buffer, frames, info, clear);
  }
  std::atomic<bool> holdNext{false};
};

TEST_P(StopDriver, AThreadStillRenderingKeepsWhatItTouchesUntilItHasStopped) {
  audioDriver = GetParam();
  mainWindow = MakeWindow();
  AudioCreate();
  auto* held = new HeldPlayer;
  const Asset song = SongImage();
  held->LoadMemory(song.data, song.size, nullptr);
  delete musicPlayer;
  musicPlayer = held;
  renderReleased = false;
  ASSERT_FALSE(AudioStart());
  Sleep(500);
  held->holdNext = true;
  Sleep(100);
  ASSERT_EQ(vt::ThreadsOutsideScheduler(), 1);

  AudioStop();
  AudioDestroy();
  ExpectOneStopFailureMessage();
  const size_t played = Played().size();
  Sleep(1000);
  EXPECT_EQ(Played().size(), played);  // silent at once all the same

  // It finishes its render into the ring through the mixer and the player, writes through the
  // driver and stops at that call; the address sanitizer sees whether any of it was freed.
  renderReleased = true;
  while (vt::ThreadsOutsideScheduler() > 0) std::this_thread::yield();
  // Seen to stop now: a later stop frees what was kept.
  AudioStop();
  EXPECT_EQ(threadInfo, nullptr);
  EXPECT_EQ(infoRing, nullptr);
  EXPECT_EQ(vt::MessageBoxes().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(AudioSystem, StopDriver, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& p) { return p.param ? "DirectSound" : "WaveOut"; });

struct Followed {
  uint32_t position;  // order << 16 | row heard at the end
  size_t playedBytes;
  uint64_t stopMs;
};

// Follows the song like the main loop for `ms` of virtual time, one tick every 15 ms, then stops.
Followed FollowTheSong(int ms) {
  AudioCreate();
  EXPECT_FALSE(AudioStart());
  for (int t = 0; t < ms; t += 15) {
    Sleep(15);
    AudioAdvance(1);
  }
  Followed followed{audibleInfo->position.load(), vt::PlayedAudioStreams()[0].bytes.size(), 0};
  const uint64_t before = vt::VirtualTimeMs();
  AudioStop();
  followed.stopMs = vt::VirtualTimeMs() - before;
  return followed;
}

TEST_F(AudioSystem, ASoundBufferLostForGoodSilencesTheSongButKeepsItInRealTime) {
  audioDriver = 1;
  mainWindow = MakeWindow();
  const Followed normal = FollowTheSong(20000);
  TearDown();
  SetUp();
  audioDriver = 1;
  mainWindow = MakeWindow();
  vt::LoseSoundBufferAtLock();
  vt::FailSoundBufferRestore(1 << 30);
  const Followed lost = FollowTheSong(20000);
  EXPECT_GT(normal.playedBytes, 0u);
  EXPECT_EQ(lost.playedBytes, 0u);
  // The scenes follow the song: it must have moved on as far as with sound, within a row.
  EXPECT_EQ(lost.position >> 16, normal.position >> 16);
  EXPECT_NEAR(static_cast<int>(lost.position & 0xFFFF), static_cast<int>(normal.position & 0xFFFF), 1);
  EXPECT_LT(lost.stopMs, 250u);
  EXPECT_TRUE(vt::MessageBoxes().empty());
}

TEST_F(AudioSystem, ASeekTakesEffectAtTheNextBufferBoundaryOnly) {
  AudioCreate();
  ASSERT_FALSE(AudioStart());
  // Follow the song like the main loop, fast enough that the writer never waits for the reader.
  for (int t = 0; t < 20000; t += 15) {
    Sleep(15);
    AudioAdvance(2);
  }
  auto positionAt = [](int slot) { return infoRing[(slot + ringSize) % ringSize]->position.load(); };
  const int before = writeSlot.load();
  ASSERT_EQ(before % 4, 0);  // the thread waits between buffers
  ASSERT_GT(positionAt(before - 1) >> 16, 0u);
  threadInfo->seekPending = 1;
  Sleep(60);  // one buffer plays, one is rendered
  AudioAdvance(0);
  const int after = writeSlot.load();
  ASSERT_EQ((after - before + ringSize) % ringSize, 4);
  EXPECT_EQ(threadInfo->seekPending.load(), 0);
  // The whole buffer after the boundary starts over; the one before it was not touched.
  for (int k = 0; k < 4; ++k) EXPECT_EQ(positionAt(before + k) >> 16, 0u) << k;
  EXPECT_EQ(positionAt(before) & 0xFFFF, 0u);
  EXPECT_GT(positionAt(before - 1) >> 16, 0u);
}

}  // namespace
