// The Settings dialog and the command line, through the real entry point on the headless host.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "SceneRecorder.h"
#include "app/Myform.h"
#include "app/Options.h"
#include "app/Settings.h"
#include "testing.h"

namespace vt = vemora::testing;

namespace {

constexpr int kAudioList = 102, kRateBox = 103, kStereoBox = 104, kInterpolationBox = 105, kVideoList = 107,
              kGo = 108, kQuit = 109, kWindowedBox = 110, kLoopBox = 111;

std::vector<int> AllScenes() {
  std::vector<int> all;
  for (int n = 0; n < kSceneCount; ++n) all.push_back(n);
  return all;
}

class SettingsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    // A process starts with these; earlier runs in this one may have changed them.
    audioDriver = 0;
    audioDevice = 0;
    videoDevice = 0;
    mixRate = 44100;
    stereo = 1;
    interpolation = 1;
    windowed = false;
    loopDemo = false;
    vt::HeadlessOptions options;
    options.timeLimitMs = 60 * 1000;
    options.limitAction = vt::LimitAction::Abort;
    vt::UseHeadlessHost(options);
  }
  void TearDown() override { vt::ResetHost(); }

  // Scenes 0 and 1 last two ticks each, so the audio starts at once (unless told not to reach
  // it); Escape ends the show soon after.
  static int Run(const char* commandLine = "", std::vector<vt::DialogStep> steps = {vt::DialogStep::Press(kGo)},
                 bool startAudio = true) {
    RecordedScenes recorded(AllScenes());
    if (startAudio) sceneLogs[0].endAfter = sceneLogs[1].endAfter = 2;
    vt::AnswerNextDialog(std::move(steps));
    vt::KeyDown(600, VK_ESCAPE);
    return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(commandLine), SW_SHOWDEFAULT);
  }

  static vt::DialogRecord OnlyDialog() {
    const std::vector<vt::DialogRecord> dialogs = vt::Dialogs();
    EXPECT_EQ(dialogs.size(), 1u);
    return dialogs.empty() ? vt::DialogRecord{} : dialogs[0];
  }
};

TEST_F(SettingsDialog, GoUntouchedStartsWithTheDialogsDefaults) {
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(audioDriver, 0);
  EXPECT_EQ(audioDevice, 0);
  EXPECT_EQ(mixRate, 45454) << "the rate box's choice, not the record's 44100";
  EXPECT_EQ(interpolation, 1);
  EXPECT_EQ(stereo, 1);
  EXPECT_EQ(videoDevice, 0);
  EXPECT_FALSE(windowed);
  EXPECT_FALSE(loopDemo);
  const std::vector<vt::PlayedAudio> streams = vt::PlayedAudioStreams();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].rate, 45454);
  EXPECT_EQ(streams[0].channels, 2);
}

TEST_F(SettingsDialog, ControlsAreFilledPlacedAndCentredAsTheProcedureSetsThem) {
  vt::SetAudioDevices({"Card A", "Card B"});
  EXPECT_EQ(Run("", {}), 0) << "no steps: Enter presses GO and leaves the focus where it was";
  const vt::DialogRecord dialog = OnlyDialog();
  EXPECT_EQ(dialog.title, "Settings");
  EXPECT_EQ(dialog.result, 0);
  ASSERT_EQ(dialog.controls.size(), 14u);
  const vt::DialogControl* audio = dialog.Control(kAudioList);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(audio->items, (std::vector<std::string>{"Card A", "Card B", "Primary output", "Card A", "Card B"}))
      << "every waveOut device, then every DirectSound device, unsorted";
  EXPECT_EQ(audio->selection, 0);
  EXPECT_EQ(audio->droppedWidth, 250);
  const vt::DialogControl* video = dialog.Control(kVideoList);
  EXPECT_EQ(video->items, (std::vector<std::string>{"Primary Display Driver", "Display 1"}));
  EXPECT_EQ(video->selection, 0);
  EXPECT_EQ(video->droppedWidth, 150);
  const vt::DialogControl* rate = dialog.Control(kRateBox);
  EXPECT_EQ(rate->items, (std::vector<std::string>{"100000", "65535", "45454", "44100", "22050", "11025"}));
  EXPECT_EQ(rate->selection, 2);
  EXPECT_EQ(rate->text, "45454");
  EXPECT_EQ(dialog.buttons, (std::map<int, UINT>{{kStereoBox, BST_CHECKED}, {kInterpolationBox, BST_CHECKED},
                                                 {kWindowedBox, BST_UNCHECKED}, {kLoopBox, BST_UNCHECKED}}));
  EXPECT_FALSE(dialog.Control(kStereoBox)->visible);
  EXPECT_TRUE(dialog.Control(kAudioList)->focused) << "activated with no focus, the dialog gives it to the first tab stop";
  EXPECT_EQ(dialog.icon, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1)));
  EXPECT_NE(dialog.icon, nullptr);
  // 189 x 111 units at (6, 15) with 6 x 13 base units: a 284 x 180 client area in a frame of one pixel
  // and a 19-pixel caption, so right 294 and bottom 205 before centring on the 640 x 480 screen.
  EXPECT_EQ(dialog.windowRect.left, (640 - 294) / 2);
  EXPECT_EQ(dialog.windowRect.top, (480 - 205) / 2);
  EXPECT_EQ(dialog.windowRect.right - dialog.windowRect.left, 286);
  EXPECT_EQ(dialog.windowRect.bottom - dialog.windowRect.top, 201);
  const RECT go = dialog.Control(kGo)->rect;
  EXPECT_EQ((std::vector<LONG>{go.left, go.top, go.right, go.bottom}), (std::vector<LONG>{204, 154, 279, 177}));
}

TEST_F(SettingsDialog, TheFirstDirectSoundEntryAfterTwoWaveOutDevicesIsDriverOneDeviceZero) {
  vt::SetAudioDevices({"Card A", "Card B"});
  EXPECT_EQ(Run("", {vt::DialogStep::Select(kAudioList, 2), vt::DialogStep::Press(kGo)}), 0);
  EXPECT_EQ(audioDriver, 1);
  EXPECT_EQ(audioDevice, 0);
  vt::ResetHost();
  SetUp();
  vt::SetAudioDevices({"Card A", "Card B"});
  EXPECT_EQ(Run("", {vt::DialogStep::Select(kAudioList, 4), vt::DialogStep::Press(kGo)}), 0);
  EXPECT_EQ(audioDriver, 1);
  EXPECT_EQ(audioDevice, 2);
}

struct RateCase {
  const char* typed;
  int32_t rate;
};

class RateText : public SettingsDialog, public ::testing::WithParamInterface<RateCase> {};

TEST_P(RateText, IsReadAsTheTextSays) {
  EXPECT_EQ(Run("", {vt::DialogStep::Type(kRateBox, GetParam().typed), vt::DialogStep::Press(kGo)}), 0);
  EXPECT_EQ(mixRate, GetParam().rate);
  const std::vector<vt::PlayedAudio> streams = vt::PlayedAudioStreams();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].rate, GetParam().rate);
}

// Only the first 18 characters are read; digits beyond 32 bits hold at the largest rate.
INSTANTIATE_TEST_SUITE_P(Settings, RateText,
                         ::testing::Values(RateCase{"22050abc", 22050}, RateCase{"abc", 11025}, RateCase{"0", 11025},
                                           RateCase{"", 11025}, RateCase{"  +32000", 32000},
                                           RateCase{"0000000000000000008000", 11025},
                                           RateCase{"0000000000000080001", 8000}));

TEST_F(SettingsDialog, RatesBeyond32BitsAreHeldAtTheLimitsInsteadOfOverflowing) {
  EXPECT_EQ(Run("", {vt::DialogStep::Type(kRateBox, "99999999999999999"), vt::DialogStep::Press(kGo)}, false), 0);
  EXPECT_EQ(mixRate, INT32_MAX);
  EXPECT_EQ(Run("", {vt::DialogStep::Type(kRateBox, "-99999999999999999"), vt::DialogStep::Press(kGo)}, false), 0);
  EXPECT_EQ(mixRate, INT32_MIN);
}

TEST_F(SettingsDialog, ANegativeRateReachesTheAudioStartAndEndsWithAudioFailed) {
  EXPECT_EQ(Run("", {vt::DialogStep::Type(kRateBox, "-5"), vt::DialogStep::Press(kGo)}), -1);
  EXPECT_EQ(mixRate, -5);
  const std::vector<vt::MessageBoxRecord> boxes = vt::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "audio failed");
  EXPECT_EQ(boxes[0].caption, "Error");
  EXPECT_FALSE(vt::MainWindow().exists);
}

// The range that --help and the README give: the devices play 100 to 200000 Hz, and any other
// rate, which the option accepts, ends with "audio failed".
class PlayableRate : public SettingsDialog, public ::testing::WithParamInterface<RateCase> {};

TEST_P(PlayableRate, PlaysOnlyWithinTheDevicesRange) {
  const std::string line = std::string("--go --rate ") + GetParam().typed;
  const bool plays = GetParam().rate != 0;
  EXPECT_EQ(Run(line.c_str()), plays ? 0 : -1);
  const std::vector<vt::PlayedAudio> streams = vt::PlayedAudioStreams();
  const std::vector<vt::MessageBoxRecord> boxes = vt::MessageBoxes();
  if (plays) {
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].rate, GetParam().rate);
    EXPECT_TRUE(boxes.empty());
  } else {
    EXPECT_TRUE(streams.empty());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "audio failed");
  }
}

// A rate of 0 marks one that must not play.
INSTANTIATE_TEST_SUITE_P(Settings, PlayableRate,
                         ::testing::Values(RateCase{"100", 100}, RateCase{"200000", 200000}, RateCase{"99", 0},
                                           RateCase{"200001", 0}, RateCase{"1", 0}, RateCase{"1000000", 0}));

TEST_F(SettingsDialog, ChoicesMadeWithTheKeyboardAlone) {
  // The first tab stop, 102, has the focus once the dialog shows; Tab goes on to 103, 105, 107,
  // 110, 108, 109, 111 (the hidden 104 is skipped). Escape is Cancel, which this dialog ignores;
  // Enter on a check box presses the default button, GO.
  const std::vector<vt::DialogStep> keys = {
      vt::DialogStep::Key(VK_ESCAPE), vt::DialogStep::Key(VK_DOWN),
      vt::DialogStep::Key(VK_TAB),    vt::DialogStep::Key(VK_END),   vt::DialogStep::Key(VK_BACK),
      vt::DialogStep::Key(VK_BACK),   vt::DialogStep::Key('0'),      vt::DialogStep::Key('1'),
      vt::DialogStep::Key(VK_TAB),    vt::DialogStep::Key(VK_SPACE), vt::DialogStep::Key(VK_TAB),
      vt::DialogStep::Key(VK_TAB),    vt::DialogStep::Key(VK_SPACE), vt::DialogStep::Key(VK_TAB, true),
      vt::DialogStep::Key(VK_TAB),    vt::DialogStep::Key(VK_TAB),   vt::DialogStep::Key(VK_TAB),
      vt::DialogStep::Key(VK_TAB),    vt::DialogStep::Key(VK_SPACE), vt::DialogStep::Key(VK_RETURN)};
  vt::SetAudioDevices({"Card A", "Card B"});
  EXPECT_EQ(Run("", keys), 0);
  EXPECT_EQ(audioDriver, 0);
  EXPECT_EQ(audioDevice, 1) << "Down moved list 102 to its second item";
  EXPECT_EQ(mixRate, 45401) << "End, two Backspaces and 0 1 turned 45454 into 45401";
  EXPECT_EQ(interpolation, 0);
  EXPECT_TRUE(windowed);
  EXPECT_TRUE(loopDemo);
}

TEST_F(SettingsDialog, EnterOnAFocusedPushButtonPressesThatButton) {
  std::vector<vt::DialogStep> keys(6, vt::DialogStep::Key(VK_TAB));  // from the device list to Quit
  keys.push_back(vt::DialogStep::Key(VK_RETURN));
  EXPECT_EQ(Run("", keys), -1);
  EXPECT_EQ(OnlyDialog().result, -1);
  EXPECT_FALSE(vt::MainWindow().exists);
}

TEST_F(SettingsDialog, ChoicesMadeWithTheMouseAlone) {
  // Client pixels from the 6 x 13 base units: list 102 at (9, 36)-(123, 57), its dropped list of
  // 13-pixel rows below it; Interpolation at (12, 120); loop at (117, 154); GO at (204, 154)-(279, 177).
  vt::SetAudioDevices({"Card A", "Card B"});
  const std::vector<vt::DialogStep> clicks = {
      vt::DialogStep::Click(60, 46),        // opens list 102
      vt::DialogStep::Click(60, 58 + 13 * 2 + 6),  // its third item: the DirectSound primary output
      vt::DialogStep::Click(30, 127),       // Interpolation off
      vt::DialogStep::Click(125, 160),      // loop on
      vt::DialogStep::Click(240, 165)};     // GO
  EXPECT_EQ(Run("", clicks), 0);
  EXPECT_EQ(audioDriver, 1);
  EXPECT_EQ(audioDevice, 0);
  EXPECT_EQ(interpolation, 0);
  EXPECT_TRUE(loopDemo);
  EXPECT_FALSE(windowed);
}

TEST_F(SettingsDialog, AnEmptyDeviceDescriptionKeepsItsPlaceInTheList) {
  vt::DirectDrawFaults faults;
  faults.nullDescription = 0;
  vt::InjectDirectDrawFaults(faults);
  EXPECT_EQ(Run("", {vt::DialogStep::Select(kVideoList, 1), vt::DialogStep::Press(kGo)}), 0);
  EXPECT_EQ(OnlyDialog().Control(kVideoList)->items, (std::vector<std::string>{"", "Display 1"}));
  EXPECT_EQ(videoDevice, 1);
}

// --- The command line

TEST_F(SettingsDialog, OptionsPresetTheControls) {
  vt::SetAudioDevices({"Card A", "Card B"});
  EXPECT_EQ(Run("--windowed --loop --rate 44100 --plain --audio 2 --video=1"), 0);
  const vt::DialogRecord dialog = OnlyDialog();
  EXPECT_EQ(dialog.Control(kAudioList)->selection, 2);
  EXPECT_EQ(dialog.Control(kVideoList)->selection, 1);
  EXPECT_EQ(dialog.Control(kRateBox)->text, "44100");
  EXPECT_EQ(dialog.buttons, (std::map<int, UINT>{{kStereoBox, BST_CHECKED}, {kInterpolationBox, BST_UNCHECKED},
                                                 {kWindowedBox, BST_CHECKED}, {kLoopBox, BST_CHECKED}}));
  EXPECT_EQ(audioDriver, 1);
  EXPECT_EQ(audioDevice, 0);
  EXPECT_EQ(videoDevice, 1);
  EXPECT_EQ(mixRate, 44100);
  EXPECT_EQ(interpolation, 0);
  EXPECT_TRUE(windowed);
  EXPECT_TRUE(loopDemo);
}

TEST_F(SettingsDialog, GoStartsWithThePresetsBeforeTheDialogShows) {
  // The script would press Quit, but the dialog ends inside its initialisation.
  EXPECT_EQ(Run("--go --rate 22050", {vt::DialogStep::Press(kQuit)}), 0);
  EXPECT_EQ(OnlyDialog().result, 0);
  EXPECT_EQ(mixRate, 22050);
  ASSERT_EQ(vt::PlayedAudioStreams().size(), 1u) << "the show ran up to the audio start";
  EXPECT_EQ(vt::PlayedAudioStreams()[0].rate, 22050);
}

TEST_F(SettingsDialog, HelpPrintsTheOptionsAndBadOptionsEndWithTwo) {
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(Run("--help"), 0);
  const std::string help = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(help.rfind("Usage: vemora [options]\n", 0), 0u) << help;
  for (const char* option :
       {"--audio N", "--rate HZ", "--plain", "--video N", "--windowed", "--loop", "--go", "--help", "--version"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
  const std::vector<std::pair<const char*, const char*>> bad = {
      {"--bogus", "unknown option --bogus"},
      {"--rate", "--rate needs a value"},
      {"--rate 44k", "--rate: '44k' is not a mixing rate"},
      {"--rate 0", "--rate: '0' is not a mixing rate"},
      {"--audio -1", "--audio: '-1' is not a device number"},
      {"--loop=yes", "--loop takes no value"},
      {"go", "unexpected argument 'go'"},
      {"--audio 3", "--audio 3: there is no such device; the list has:\n  0  Virtual output\n  1  Primary output\n  2  Virtual output"},
      {"--video 2", "--video 2: there is no such device; the list has:\n  0  Primary Display Driver\n  1  Display 1"}};
  for (const auto& [line, message] : bad) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Run(line), 2) << line;
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed.rfind("vemora: " + std::string(message) + "\nUsage: vemora", 0), 0u) << printed;
  }
  EXPECT_TRUE(vt::Dialogs().empty()) << "no dialog opens for help or a bad option";
  EXPECT_FALSE(vt::MainWindow().exists);
}

TEST_F(SettingsDialog, VersionPrintsTheReleaseBeforeAnythingElse) {
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(Run("--version --bogus"), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "vemora " VEMORA_VERSION "\n");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run("--bogus --version"), 2);
  EXPECT_EQ(::testing::internal::GetCapturedStderr().rfind("vemora: unknown option --bogus\n", 0), 0u);
  EXPECT_TRUE(vt::Dialogs().empty());
}

TEST(CommandLine, SplitsAsTheWindowsRuntimeDoes) {
  EXPECT_EQ(SplitCommandLine("  --rate\t44100  --go "), (std::vector<std::string>{"--rate", "44100", "--go"}));
  EXPECT_EQ(SplitCommandLine(R"("a b" "" c"d e"f)"), (std::vector<std::string>{"a b", "", "cd ef"}));
  EXPECT_EQ(SplitCommandLine(R"(a\\b "c\"d" e\\\"f g\\"h i")"),
            (std::vector<std::string>{R"(a\\b)", R"(c"d)", R"(e\"f)", R"(g\h i)"}));
  EXPECT_EQ(SplitCommandLine(R"("say ""hi""")"), (std::vector<std::string>{R"(say "hi")"}));
  EXPECT_TRUE(SplitCommandLine("").empty());
  EXPECT_TRUE(SplitCommandLine(nullptr).empty());
}

// The Linux program quotes its arguments into WinMain's command line and needs no display to
// answer --help or a bad option; its host starts at the first platform call, and without a
// display the program ends there.
TEST(CommandLine, TheLinuxProgramPassesItsArgumentsWhole) {
  const std::string program = std::string(VEMORA_BIN_DIR) + "/vemora";
  auto run = [&](const std::string& arguments, std::string& output) {
    FILE* pipe = popen(("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER '" + program + "' " + arguments + " 2>&1").c_str(), "r");
    output.clear();
    char buffer[256];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  std::string output;
  EXPECT_EQ(run("--help", output), 0);
  EXPECT_EQ(output.rfind("Usage: vemora [options]", 0), 0u) << output;
  EXPECT_EQ(run("--version", output), 0);
  EXPECT_EQ(output, "vemora " VEMORA_VERSION "\n");
  EXPECT_EQ(run(R"(--rate 'a "b\' --go)", output), 2);
  EXPECT_EQ(output.rfind(R"(vemora: --rate: 'a "b\' is not a mixing rate)", 0), 0u) << output;
  EXPECT_EQ(run("--rate ''", output), 2);
  EXPECT_EQ(output.rfind("vemora: --rate: '' is not a mixing rate", 0), 0u) << output;
  EXPECT_EQ(run("--go", output), 1);
  EXPECT_EQ(output.rfind("vemora: no display available: ", 0), 0u) << output;
}

}  // namespace
