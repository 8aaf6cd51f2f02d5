// The sound devices through waveOut and DirectSound, on whichever host runs: both list the host's
// devices, and a buffer written to waveOut plays and comes back done.
#include <dsound.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "Fixture.h"

namespace {

using SoundDevices = HostTest;

void CALLBACK SignalDone(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
  if (message == WOM_DONE) SetEvent(reinterpret_cast<HANDLE>(instance));
}

BOOL CALLBACK CollectDescription(LPGUID, LPCSTR description, LPCSTR, LPVOID names) {
  static_cast<std::vector<std::string>*>(names)->push_back(description);
  return TRUE;
}

TEST_F(SoundDevices, BothDriversListTheHostsDevicesInTheSameOrder) {
  const UINT count = waveOutGetNumDevs();
  ASSERT_GE(count, 1u);
  std::vector<std::string> sound;
  ASSERT_EQ(DirectSoundEnumerateA(CollectDescription, &sound), DS_OK);
  ASSERT_EQ(sound.size(), count + 1) << "the default device first";
  for (UINT device = 0; device < count; ++device) {
    WAVEOUTCAPSA caps{};
    ASSERT_EQ(waveOutGetDevCapsA(device, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_EQ(sound[device + 1].substr(0, MAXPNAMELEN - 1), caps.szPname);
  }
}

TEST_F(SoundDevices, AWrittenBufferPlaysAndComesBackDone) {
  HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 22050, 22050 * 4, 4, 16, 0};
  HWAVEOUT device = nullptr;
  ASSERT_EQ(waveOutOpen(&device, 0, &format, reinterpret_cast<DWORD_PTR>(SignalDone),
                        reinterpret_cast<DWORD_PTR>(done), CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  std::vector<char> pcm(4 * 2205);  // a tenth of a second of silence
  WAVEHDR header{};
  header.lpData = pcm.data();
  header.dwBufferLength = static_cast<DWORD>(pcm.size());
  ASSERT_EQ(waveOutPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(device, &header, sizeof header), MMSYSERR_NOERROR);
  EXPECT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(header.dwFlags & WHDR_DONE);
  EXPECT_EQ(waveOutUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  CloseHandle(done);
}

}  // namespace
