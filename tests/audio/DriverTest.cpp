// The waveOut and DirectSound drivers over the headless host's virtual devices.
#include <dsound.h>

#include <thread>

#include "AudioFixture.h"
#include "audio/Ds_wrap.h"
#include "audio/Out_ds.h"
#include "audio/Out_wave.h"

namespace {

constexpr int kBufferBytes = 10080;  // 630 frames x 4 bytes x 4 blocks: 44100 Hz
constexpr int kBufferUs = 57143;     // 2520 frames at 44100 Hz

using WaveDriver = AudioTest;

TEST_F(WaveDriver, ListsTheHostDevicesByProductName) {
  vt::SetAudioDevices({"First card", "A name longer than thirty-one characters"});
  Out_Wave wave;
  ASSERT_EQ(wave.deviceCount, 2);
  EXPECT_STREQ(wave.deviceNames[0], "First card");
  EXPECT_STREQ(wave.deviceNames[1], "A name longer than thirty-one c");
}

TEST_F(WaveDriver, FifteenBuffersAreFreeAfterOpenAndNothingPlaysBeforePlay) {
  Out_Wave wave;
  const AudioFormat format = Format(44100, kBufferBytes);
  ASSERT_FALSE(wave.open(&format));
  int ready = 0;
  while (wave.waitReady(0)) {
    ASSERT_FALSE(wave.writeBuffer(Numbered(ready, kBufferBytes).data()));
    ++ready;
    ASSERT_LE(ready, 16);
  }
  EXPECT_EQ(ready, 15);
  EXPECT_TRUE(wave.writeBuffer(Numbered(99, kBufferBytes).data()));  // no free buffer
  Sleep(500);
  EXPECT_TRUE(Played().empty());
  EXPECT_EQ(wave.buffersSubmitted, 0);

  ASSERT_FALSE(wave.play());
  EXPECT_EQ(wave.buffersSubmitted, 15);
  Sleep(15 * kBufferUs / 1000 + 10);
  std::vector<uint8_t> expected;
  for (int i = 0; i < 15; ++i) {
    auto data = Numbered(i, kBufferBytes);
    expected.insert(expected.end(), data.begin(), data.end());
  }
  EXPECT_EQ(Played(), expected);  // all fifteen, in write order
  EXPECT_EQ(wave.freeBuffers.load(), 15);
  wave.close();
}

TEST_F(WaveDriver, CompletionWakesTheWaitAtOnceAndEveryCompletionCounts) {
  Out_Wave wave;
  const AudioFormat format = Format(44100, kBufferBytes);
  ASSERT_FALSE(wave.open(&format));
  for (int i = 0; i < 15; ++i) ASSERT_FALSE(wave.writeBuffer(Numbered(i, kBufferBytes).data()));
  EXPECT_FALSE(wave.waitReady(0));
  ASSERT_FALSE(wave.play());
  const uint64_t start = vt::VirtualTimeUs();
  EXPECT_TRUE(wave.waitReady(250));
  // The first buffer has just finished, not the time-out.
  EXPECT_NEAR(static_cast<double>(vt::VirtualTimeUs() - start), kBufferUs, 50);
  // Three completions while nobody waits: the event fires once, the count says three.
  Sleep(3 * kBufferUs / 1000 + 1);
  EXPECT_EQ(wave.freeBuffers.load(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(wave.waitReady(0)) << i;
    EXPECT_FALSE(wave.writeBuffer(Numbered(20 + i, kBufferBytes).data()));
  }
  EXPECT_FALSE(wave.waitReady(0));
  wave.close();
}

TEST_F(WaveDriver, PauseTwiceStopsOnceAndPlayResumesWithoutResending) {
  Out_Wave wave;
  const AudioFormat format = Format(44100, kBufferBytes);
  ASSERT_FALSE(wave.open(&format));
  for (int i = 0; i < 4; ++i) ASSERT_FALSE(wave.writeBuffer(Numbered(i, kBufferBytes).data()));
  ASSERT_FALSE(wave.play());
  Sleep(30);  // half of the first buffer
  EXPECT_FALSE(wave.pause());
  const size_t atPause = Played().size();
  EXPECT_GT(atPause, 0u);
  EXPECT_LT(atPause, static_cast<size_t>(kBufferBytes));
  EXPECT_FALSE(wave.pause());
  EXPECT_EQ(wave.paused, 1);
  Sleep(500);
  EXPECT_EQ(Played().size(), atPause);  // paused: nothing more plays
  ASSERT_FALSE(wave.play());
  EXPECT_EQ(wave.buffersSubmitted, 4);  // nothing sent again
  Sleep(300);
  std::vector<uint8_t> expected;
  for (int i = 0; i < 4; ++i) {
    auto data = Numbered(i, kBufferBytes);
    expected.insert(expected.end(), data.begin(), data.end());
  }
  EXPECT_EQ(Played(), expected);  // the pause lost and repeated nothing
  wave.close();
}

TEST_F(WaveDriver, CloseWithoutOpenOrTwiceIsHarmlessAndLeavesNothingCounted) {
  Out_Wave wave;
  wave.close();
  wave.close();
  EXPECT_EQ(wave.bufferCount, 0);
  EXPECT_EQ(wave.freeBuffers.load(), 0);
  EXPECT_EQ(wave.buffersSubmitted, 0);
  EXPECT_FALSE(wave.waitReady(0));
  EXPECT_TRUE(wave.writeBuffer(Numbered(0, kBufferBytes).data()));
  EXPECT_FALSE(wave.play());
  EXPECT_FALSE(wave.pause());

  const AudioFormat format = Format(44100, kBufferBytes);
  ASSERT_FALSE(wave.open(&format));
  wave.close();
  wave.close();
  EXPECT_EQ(wave.waveOut, nullptr);
  EXPECT_EQ(wave.freeBuffers.load(), 0);
}

TEST_F(WaveDriver, OpensTheMapperWhicheverDeviceWasChosenAndRefusesImpossibleRates) {
  vt::SetAudioDevices({"One", "Two"});
  Out_Wave wave;
  AudioFormat format = Format(44100, kBufferBytes);
  format.deviceIndex = 7;  // not a device: the mapper is opened anyway
  EXPECT_FALSE(wave.open(&format));
  wave.close();
  for (int rate : {0, -44100, 1000000}) {
    format = Format(rate, kBufferBytes);
    EXPECT_TRUE(wave.open(&format)) << rate;
    wave.close();
  }
  vt::FailWaveOutOpen();
  format = Format(44100, kBufferBytes);
  EXPECT_TRUE(wave.open(&format));
  wave.close();
  EXPECT_TRUE(vt::PlayedAudioStreams().size() == 1);  // only the first open reached a device
}

// The system's callback thread, caught between reading the driver's event and signalling it.
struct LateCompletion {
  Out_Wave* wave;
  DWORD error = ~0u;
};

DWORD WINAPI CompleteLate(LPVOID parameter) {
  auto* late = static_cast<LateCompletion*>(parameter);
  SetLastError(0);
  vt::LeaveScheduler();
  WaveOutDone(late->wave->waveOut, WOM_DONE, reinterpret_cast<DWORD_PTR>(late->wave), 0, 0);
  late->error = GetLastError();
  return 0;
}

TEST_F(WaveDriver, ACompletionAlreadyRunningAtCloseSignalsAnEventThatIsStillOpen) {
  Out_Wave wave;
  const AudioFormat format = Format(44100, kBufferBytes);
  ASSERT_FALSE(wave.open(&format));
  LateCompletion late{&wave};
  HANDLE thread = CreateThread(nullptr, 0, CompleteLate, &late, 0, nullptr);
  Sleep(1);
  while (vt::ThreadsOutsideScheduler() > 0) std::this_thread::yield();  // it waits to signal
  wave.close();
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(late.error, 0u) << "the callback signalled a closed handle";
}

TEST(WaveOutApi, HeaderFlagsFollowPrepareWriteAndCompletion) {
  vt::UseHeadlessHost();
  HWAVEOUT device = nullptr;
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 11025, 44100, 4, 16, 0};
  std::vector<HWAVEOUT> done;
  auto callback = +[](HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    if (message == WOM_DONE) ++*reinterpret_cast<int*>(instance);
  };
  int completions = 0;
  ASSERT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(callback),
                        reinterpret_cast<DWORD_PTR>(&completions), CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  std::vector<char> data(4 * 1103, 1);
  WAVEHDR header{};
  header.lpData = data.data();
  header.dwBufferLength = static_cast<DWORD>(data.size());
  EXPECT_EQ(waveOutWrite(device, &header, sizeof(header)), static_cast<MMRESULT>(WAVERR_UNPREPARED));
  ASSERT_EQ(waveOutPrepareHeader(device, &header, sizeof(header)), MMSYSERR_NOERROR);
  EXPECT_EQ(header.dwFlags, static_cast<DWORD>(WHDR_PREPARED));
  ASSERT_EQ(waveOutWrite(device, &header, sizeof(header)), MMSYSERR_NOERROR);
  EXPECT_TRUE(header.dwFlags & WHDR_INQUEUE);
  EXPECT_EQ(waveOutUnprepareHeader(device, &header, sizeof(header)), static_cast<MMRESULT>(WAVERR_STILLPLAYING));
  EXPECT_EQ(waveOutClose(device), static_cast<MMRESULT>(WAVERR_STILLPLAYING));
  Sleep(101);  // 1103 frames at 11025 Hz
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(header.dwFlags, static_cast<DWORD>(WHDR_PREPARED | WHDR_DONE));
  EXPECT_EQ(waveOutUnprepareHeader(device, &header, sizeof(header)), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(device), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
  vt::ResetHost();
}

// --- DirectSound

class SoundDriver : public AudioTest {
 protected:
  void SetUp() override {
    AudioTest::SetUp();
    window = MakeWindow();
  }
  // A device ready for buffers, as Out_DS::open leaves it.
  void OpenDevice(DSound_Wrap& wrap) {
    ASSERT_FALSE(wrap.createDevice(0));
    ASSERT_FALSE(wrap.setCooperativeLevel(window, DSSCL_PRIORITY));
  }
  HWND window = nullptr;
};

TEST_F(SoundDriver, ListsTheDefaultDeviceFirstWithoutAGuidThenTheHostDevices) {
  vt::SetAudioDevices({"Left speaker", "Right speaker"});
  DSound_Wrap wrap;
  ASSERT_EQ(wrap.deviceCount, 3);
  const GUID zero{};
  EXPECT_TRUE(wrap.devices[0].guid == zero);
  EXPECT_STREQ(wrap.devices[1].description, "Left speaker");
  EXPECT_STREQ(wrap.devices[2].description, "Right speaker");
  EXPECT_FALSE(wrap.devices[1].guid == zero);
  EXPECT_FALSE(wrap.devices[1].guid == wrap.devices[2].guid);
  EXPECT_EQ(wrap.caps.dwSize, 96u);
  Out_DS driver;
  ASSERT_EQ(driver.deviceCount, 3);
  EXPECT_STREQ(driver.deviceNames[0], wrap.devices[0].description);
  EXPECT_STREQ(driver.deviceNames[2], "Right speaker");
}

TEST_F(SoundDriver, CreateDeviceRefusesIndicesOutsideTheList) {
  DSound_Wrap wrap;
  EXPECT_TRUE(wrap.createDevice(-1));
  EXPECT_TRUE(wrap.createDevice(wrap.deviceCount));
  EXPECT_EQ(wrap.directSound, nullptr);
  EXPECT_TRUE(wrap.setCooperativeLevel(window, DSSCL_NORMAL));  // no device
  EXPECT_FALSE(wrap.createDevice(0));
  EXPECT_NE(wrap.directSound, nullptr);
}

struct StreamCase {
  int bytes, count;
  bool fails;
  int blockBytes, blockCount;
};

class StreamShape : public SoundDriver, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(StreamShape, SettlesOnWholeFramesAtLeast256BytesAndThreeBlocks) {
  const StreamCase& c = GetParam();
  DSound_Wrap wrap;
  OpenDevice(wrap);
  auto* stream = new DSoundBuffer_Wrap(&wrap);
  stream->setFormat(16, 2, 44100);
  EXPECT_EQ(stream->createStream(c.bytes, c.count), c.fails);
  if (!c.fails) {
    EXPECT_EQ(stream->blockBytes, c.blockBytes);
    EXPECT_EQ(stream->blockCount, c.blockCount);
    DSBCAPS caps{};
    caps.dwSize = sizeof(DSBCAPS);
    ASSERT_EQ(stream->soundBuffer->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, static_cast<DWORD>(c.blockBytes * c.blockCount));
    EXPECT_TRUE(caps.dwFlags & DSBCAPS_CTRLPOSITIONNOTIFY);
  }
  wrap.releaseDevice();  // deletes the wrapper too
  EXPECT_EQ(wrap.newestBuffer, nullptr);
}

INSTANTIATE_TEST_SUITE_P(SoundDriver, StreamShape,
                         ::testing::Values(StreamCase{100, 2, false, 256, 3}, StreamCase{1000, 16, false, 1000, 16},
                                           StreamCase{1002, 16, false, 1004, 16}, StreamCase{10080, 65, true, 0, 0},
                                           StreamCase{10080, 64, false, 10080, 64}));

TEST_F(SoundDriver, FifteenBlocksAreWritableBeforePlayAndEachPlayedBlockFreesOne) {
  Out_DS driver;
  const AudioFormat format = Format(44100, kBufferBytes, 16, window);
  ASSERT_FALSE(driver.open(&format));
  int ready = 0;
  while (driver.waitReady(0)) {
    ASSERT_FALSE(driver.writeBuffer(Numbered(ready, kBufferBytes).data()));
    ASSERT_LE(++ready, 16);
  }
  EXPECT_EQ(ready, 15);
  Sleep(200);
  ASSERT_EQ(vt::PlayedAudioStreams().size(), 1u);
  EXPECT_TRUE(Played().empty());  // nothing of the stream plays before play

  ASSERT_FALSE(driver.play());
  const uint64_t start = vt::VirtualTimeUs();
  EXPECT_TRUE(driver.waitReady(250));  // the cursor left block 0
  EXPECT_NEAR(static_cast<double>(vt::VirtualTimeUs() - start), kBufferUs, 50);
  // The held-back last block and the block just played are both free now.
  ASSERT_FALSE(driver.writeBuffer(Numbered(15, kBufferBytes).data()));
  EXPECT_TRUE(driver.waitReady(0));
  ASSERT_FALSE(driver.writeBuffer(Numbered(16, kBufferBytes).data()));
  EXPECT_FALSE(driver.waitReady(0));
  Sleep(16 * kBufferUs / 1000 + 5);
  std::vector<uint8_t> expected;
  for (int i = 0; i < 17; ++i) {
    auto data = Numbered(i, kBufferBytes);
    expected.insert(expected.end(), data.begin(), data.end());
  }
  std::vector<uint8_t> played = Played();
  ASSERT_GE(played.size(), expected.size());
  played.resize(expected.size());
  EXPECT_EQ(played, expected);
  EXPECT_FALSE(driver.pause());
  driver.close();
}

TEST_F(SoundDriver, OpenRefusesAWrongFormatSizeAStreamOfAnotherBlockSizeAndImpossibleRates) {
  Out_DS driver;
  AudioFormat format = Format(44100, kBufferBytes, 16, window);
  format.size = 28;
  EXPECT_TRUE(driver.open(&format));
  format = Format(11025, 100, 16, window);  // the stream settles on 256-byte blocks
  EXPECT_TRUE(driver.open(&format));
  for (int rate : {0, -1, 1000000}) {
    format = Format(rate, kBufferBytes, 16, window);
    EXPECT_TRUE(driver.open(&format)) << rate;
  }
  format = Format(44100, kBufferBytes, 16, window);
  format.deviceIndex = driver.deviceCount;
  EXPECT_TRUE(driver.open(&format));
  driver.close();
  driver.close();
  EXPECT_TRUE(driver.writeBuffer(Numbered(0, kBufferBytes).data()));
  EXPECT_TRUE(driver.play());
  EXPECT_TRUE(driver.pause());
}

TEST_F(SoundDriver, OpensAtTheNormalLevelWhenPriorityIsRefused) {
  vt::RefuseDirectSoundPriority();
  Out_DS driver;
  const AudioFormat format = Format(44100, kBufferBytes, 16, window);
  EXPECT_FALSE(driver.open(&format));
  EXPECT_TRUE(driver.waitReady(0));
  driver.close();
}

TEST_F(SoundDriver, ALostBufferIsRestoredAndTheSameBlockLockedAgain) {
  Out_DS driver;
  const AudioFormat format = Format(44100, kBufferBytes, 16, window);
  ASSERT_FALSE(driver.open(&format));
  vt::LoseSoundBufferAtLock();
  EXPECT_FALSE(driver.writeBuffer(Numbered(0, kBufferBytes).data()));
  EXPECT_EQ(driver.secondary->writeBlock, 1);
  EXPECT_EQ(driver.secondary->locked, 0);

  // Restore refused: the write fails and its block is not taken.
  vt::LoseSoundBufferAtLock();
  vt::FailSoundBufferRestore();
  EXPECT_TRUE(driver.writeBuffer(Numbered(1, kBufferBytes).data()));
  EXPECT_EQ(driver.secondary->writeBlock, 1);
  EXPECT_FALSE(driver.writeBuffer(Numbered(1, kBufferBytes).data()));  // restored by this lock
  EXPECT_EQ(driver.secondary->writeBlock, 2);

  // Lost at play: restored and started.
  vt::LoseSoundBufferAtPlay();
  EXPECT_FALSE(driver.play());
  DWORD status = 0;
  ASSERT_EQ(driver.secondary->soundBuffer->GetStatus(&status), DS_OK);
  EXPECT_TRUE(status & DSBSTATUS_PLAYING);
  EXPECT_TRUE(status & DSBSTATUS_LOOPING);
  driver.pause();
  driver.close();
}

TEST_F(SoundDriver, LockReturnsTwoRegionsAcrossTheWrap) {
  DSound_Wrap wrap;
  OpenDevice(wrap);
  auto* stream = new DSoundBuffer_Wrap(&wrap);
  stream->setFormat(16, 2, 44100);
  ASSERT_FALSE(stream->createStream(1000, 4));
  ASSERT_FALSE(stream->lock(3000, 1600));
  EXPECT_EQ(stream->lockedBytes1, 1000u);
  EXPECT_EQ(stream->lockedBytes2, 600u);
  EXPECT_TRUE(stream->lock(0, 4));  // already locked
  stream->unlock();
  EXPECT_FALSE(stream->lock(0, 1000));
  EXPECT_EQ(stream->lockedPart2, nullptr);
  stream->unlock();
  wrap.releaseDevice();
}

}  // namespace
