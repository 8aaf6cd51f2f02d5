// The DirectDraw display on the headless host: set-up ladders, refusals, presentation and
// overlay placement, first called directly and then through the real entry point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/Myform.h"
#include "app/Settings.h"
#include "display/Vscreentools.h"
#include "testing.h"

namespace vt = vemora::testing;

namespace {

constexpr int kW = 640, kH = 480;

// Four colours that both 16-bit formats hold exactly, in a pattern that moves with `frame`.
uint16_t PatternPixel(int x, int y, int frame, bool rgb555) {
  static const uint16_t k565[4] = {0xF800, 0x07E0, 0x001F, 0x0000};
  static const uint16_t k555[4] = {0x7C00, 0x03E0, 0x001F, 0x0000};
  const int i = (x / 8 + y / 4 + frame) % 4;
  return rgb555 ? k555[i] : k565[i];
}
uint32_t PatternRgb(int x, int y, int frame) {
  static const uint32_t kRgb[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000};
  return kRgb[(x / 8 + y / 4 + frame) % 4];
}
void DrawPattern(int frame, bool rgb555) {
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) vscreen[y * kW + x] = PatternPixel(x, y, frame, rgb555);
}
// Number of pixels that differ from the pattern.
int PatternMisses(const vt::Picture& picture, int frame) {
  if (picture.width != kW || picture.height != kH) return -1;
  int misses = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) misses += picture.at(x, y) != PatternRgb(x, y, frame);
  return misses;
}

std::vector<std::string> LogLines(const std::string& part) {
  std::vector<std::string> lines;
  for (const std::string& line : vt::DirectDrawLog())
    if (line.find(part) != std::string::npos) lines.push_back(line);
  return lines;
}
int LogCount(const std::string& part) { return static_cast<int>(LogLines(part).size()); }

HWND window = nullptr;  // the display's, standing in for the shell's

// The display operations called directly, with a plain window standing in for the shell's.
class Display : public ::testing::Test {
 protected:
  void SetUp() override {
    vt::HeadlessOptions options;
    options.timeLimitMs = 0;
    vt::UseHeadlessHost(options);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "displaytest";
    RegisterClassA(&windowClass);
    videoDevice = 0;
    displayMode = 2;
    overlayDirty = false;
    frameInBackSurface = false;
  }
  void TearDown() override {
    ShutdownDisplay();
    DestroyDisplay();
    displayMode = 2;
    if (window) DestroyWindow(window);
    window = nullptr;
    UnregisterClassA("displaytest", nullptr);
    vt::ResetHost();
  }
  // mode 0: a maximised pop-up, as full screen has; mode 1: a framed window at (100, 50).
  bool Init(int mode, const vt::DirectDrawFaults& faults = {}) {
    const DWORD style = mode == 0 ? WS_POPUP : WS_POPUP | WS_OVERLAPPEDWINDOW;
    window = CreateWindowExA(0, "displaytest", "display", style, mode == 0 ? 0 : 100, mode == 0 ? 0 : 50, kW, kH,
                                 nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, mode == 0 ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    PumpMessages();
    vt::InjectDirectDrawFaults(faults);
    EnumerateDevices();
    return InitDisplay(mode, window, PumpMessages);
  }
  static RECT ClientOnScreen() {
    RECT client{};
    GetClientRect(window, &client);
    POINT a{0, 0}, b{client.right, client.bottom};
    ClientToScreen(window, &a);
    ClientToScreen(window, &b);
    return {a.x, a.y, b.x, b.y};
  }
  static bool Present(int frame) {
    DrawPattern(frame, displayMode == 1);
    const auto before = vt::PresentedFrameCount();
    PresentFrame();
    return vt::PresentedFrameCount() > before;
  }
  static int LastFrameMisses(int frame) {
    const auto frames = vt::PresentedFrames();
    return frames.empty() ? -1 : PatternMisses(frames.back().picture, frame);
  }
};

// --- Device list and device choice

TEST_F(Display, ListsThePrimaryDriverFirstThenEveryDisplay) {
  vt::DirectDrawFaults faults;
  faults.displays = 2;
  vt::InjectDirectDrawFaults(faults);
  EnumerateDevices();
  ASSERT_NE(ddraw, nullptr);
  ASSERT_EQ(ddraw->deviceCount, 3);
  const uint8_t zero[16] = {};
  EXPECT_EQ(std::memcmp(ddraw->devices[0].guid, zero, 16), 0);
  EXPECT_STREQ(ddraw->devices[0].description, "Primary Display Driver");
  EXPECT_NE(std::memcmp(ddraw->devices[1].guid, zero, 16), 0);
  EXPECT_NE(std::memcmp(ddraw->devices[1].guid, ddraw->devices[2].guid, 16), 0);
  EXPECT_STREQ(ddraw->devices[2].description, "Display 2");
  EXPECT_EQ(ddraw->ddraw, nullptr);
  EXPECT_EQ(ddraw->surfaces, nullptr);
  // Every listed device, and -1 for the primary driver, can be created; the next index cannot.
  for (int index = -1; index < 3; ++index) {
    EXPECT_FALSE(ddraw->CreateDevice(index)) << index;
    ddraw->ReleaseAll();
  }
  EXPECT_TRUE(ddraw->CreateDevice(3));
  EXPECT_TRUE(ddraw->CreateDevice(-2));
}

class DeviceIndex : public Display, public ::testing::WithParamInterface<int> {};

TEST_P(DeviceIndex, OutsideTheListFailsTheSetUpBeforeAnyDeviceIsMade) {
  vt::DirectDrawFaults faults;
  faults.displays = 0;  // the primary driver alone: the device count is 1
  videoDevice = GetParam();
  EXPECT_TRUE(Init(0, faults));
  EXPECT_EQ(LogCount("DirectDrawCreate"), 0);
  EXPECT_EQ(displayMode, 2);
  EXPECT_FALSE(displayBusy);
}
INSTANTIATE_TEST_SUITE_P(Display, DeviceIndex, ::testing::Values(-2, 1));

// --- Full screen

TEST_F(Display, FullScreenSetsTheModeAndATwoBufferChainIn565) {
  ASSERT_FALSE(Init(0));
  EXPECT_EQ(displayMode, 0);
  EXPECT_FALSE(displayBusy);
  ASSERT_NE(primarySurface, nullptr);
  ASSERT_NE(backSurface, nullptr);
  EXPECT_EQ(overlaySurface, nullptr);
  EXPECT_EQ(LogLines("SetCooperativeLevel"), std::vector<std::string>{"SetCooperativeLevel 0x17 -> ok"});
  EXPECT_EQ(LogLines("SetDisplayMode"), std::vector<std::string>{"SetDisplayMode 640x480x16 -> ok"});
  EXPECT_EQ(LogLines("CreateSurface"), std::vector<std::string>{"CreateSurface primary back=2 memory=any -> ok"});
  EXPECT_EQ(redShift, 11);
  EXPECT_EQ(greenLoss, 2);
  EXPECT_TRUE(vt::DirectDrawDisplay().fullScreen);

  // Three frames through a chain of three buffers: each flip shows the frame just copied.
  for (int frame = 0; frame < 3; ++frame) {
    ASSERT_TRUE(Present(frame));
    EXPECT_EQ(LastFrameMisses(frame), 0) << frame;
    EXPECT_EQ(PatternMisses(vt::DirectDrawDisplay().visible, frame), 0) << frame;
  }
  EXPECT_FALSE(vt::PresentedFrames().back().overlay);
}

TEST_F(Display, ToolsSeeEveryFrameWhileTheHostKeepsOnlyTheLast) {
  ASSERT_FALSE(Init(0));
  vt::KeepPresentedFrames(2);
  std::vector<int> misses;
  std::vector<uint64_t> countsSeen;
  vt::OnPresentedFrame([&](const vt::PresentedFrame& frame) {
    misses.push_back(PatternMisses(frame.picture, static_cast<int>(misses.size())));
    countsSeen.push_back(vt::PresentedFrameCount());  // the sink may call back in
  });
  for (int frame = 0; frame < 5; ++frame) ASSERT_TRUE(Present(frame));
  EXPECT_EQ(misses, std::vector<int>(5, 0));
  EXPECT_EQ(countsSeen, (std::vector<uint64_t>{1, 2, 3, 4, 5}));
  const auto kept = vt::PresentedFrames();
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(PatternMisses(kept[0].picture, 3), 0);
  EXPECT_EQ(PatternMisses(kept[1].picture, 4), 0);
}

TEST_F(Display, PrimaryRefusedWithTwoBackBuffersRunsWithOne) {
  vt::DirectDrawFaults faults;
  faults.refusePrimaryBackBuffers = 1u << 2;
  ASSERT_FALSE(Init(0, faults));
  EXPECT_EQ(LogLines("CreateSurface"), (std::vector<std::string>{
                                           "CreateSurface primary back=2 memory=any -> outofvideomemory",
                                           "CreateSurface primary back=2 memory=video -> outofvideomemory",
                                           "CreateSurface primary back=2 memory=system -> outofvideomemory",
                                           "CreateSurface primary back=1 memory=any -> ok",
                                       }));
  for (int frame = 0; frame < 2; ++frame) {
    ASSERT_TRUE(Present(frame));
    EXPECT_EQ(LastFrameMisses(frame), 0);
  }
}

TEST_F(Display, CooperativeLevelIsRetriedWithTheDeviceWindow) {
  vt::DirectDrawFaults faults;
  faults.refuseCooperativeLevel = 1;
  ASSERT_FALSE(Init(0, faults));
  EXPECT_EQ(LogLines("SetCooperativeLevel"), (std::vector<std::string>{"SetCooperativeLevel 0x17 -> invalidparams",
                                                                       "SetCooperativeLevel 0x117 -> ok"}));
}

struct Refusal {
  const char* name;
  int mode;
  vt::DirectDrawFaults faults;
};

class SetUpRefused : public Display, public ::testing::WithParamInterface<Refusal> {};

TEST_P(SetUpRefused, FailsAndLeavesNoDisplayMode) {
  EXPECT_TRUE(Init(GetParam().mode, GetParam().faults));
  EXPECT_EQ(displayMode, 2);
  EXPECT_FALSE(displayBusy);
  // What the set-up made is released with the device, and presenting does nothing.
  frameInBackSurface = true;
  const auto before = vt::PresentedFrameCount();
  PresentFrame();
  EXPECT_FALSE(frameInBackSurface);
  EXPECT_EQ(vt::PresentedFrameCount(), before);
}

vt::DirectDrawFaults Faults(void (*set)(vt::DirectDrawFaults&)) {
  vt::DirectDrawFaults faults;
  set(faults);
  return faults;
}

INSTANTIATE_TEST_SUITE_P(
    Display, SetUpRefused,
    ::testing::Values(
        Refusal{"Create", 0, Faults([](vt::DirectDrawFaults& f) { f.createFails = true; })},
        Refusal{"Query", 1, Faults([](vt::DirectDrawFaults& f) { f.queryFails = true; })},
        Refusal{"CooperativeLevelTwice", 0, Faults([](vt::DirectDrawFaults& f) { f.refuseCooperativeLevel = 2; })},
        Refusal{"CooperativeLevelWindowed", 1, Faults([](vt::DirectDrawFaults& f) { f.refuseCooperativeLevel = 1; })},
        Refusal{"DisplayMode", 0, Faults([](vt::DirectDrawFaults& f) { f.refuseDisplayMode = true; })},
        Refusal{"PrimaryTwoAndOne", 0, Faults([](vt::DirectDrawFaults& f) { f.refusePrimaryBackBuffers = 6; })},
        Refusal{"PrimaryWindowed", 1, Faults([](vt::DirectDrawFaults& f) { f.refusePrimaryBackBuffers = 1; })},
        Refusal{"AttachFullScreen", 0, Faults([](vt::DirectDrawFaults& f) { f.refuseAttach = true; })},
        Refusal{"AttachOverlay", 1, Faults([](vt::DirectDrawFaults& f) { f.refuseAttach = true; })},
        Refusal{"NoOverlay", 1, Faults([](vt::DirectDrawFaults& f) { f.noOverlay = true; })},
        Refusal{"EveryOverlay", 1, Faults([](vt::DirectDrawFaults& f) { f.refuseOverlays = 5; })}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

// --- Windowed overlay

class OverlayLadder : public Display, public ::testing::WithParamInterface<int> {};

TEST_P(OverlayLadder, TriesInOrderAndUsesTheFirstThatIsMade) {
  const std::vector<std::string> attempts = {
      "CreateSurface overlay back=2 memory=video", "CreateSurface overlay back=2 memory=any",
      "CreateSurface overlay back=1 memory=any",   "CreateSurface overlay back=0 memory=any",
      "CreateSurface overlay back=0(none) memory=any"};
  const int refused = GetParam();
  vt::DirectDrawFaults faults;
  faults.refuseOverlays = refused;
  ASSERT_FALSE(Init(1, faults));
  std::vector<std::string> expected;
  for (int n = 0; n <= refused; ++n) expected.push_back(attempts[n] + (n < refused ? " -> outofvideomemory" : " -> ok"));
  EXPECT_EQ(LogLines("CreateSurface overlay"), expected);
  EXPECT_EQ(LogLines("CreateSurface primary"), std::vector<std::string>{"CreateSurface primary back=0(none) memory=any -> ok"});

  EXPECT_EQ(displayMode, 1);
  EXPECT_TRUE(overlayDirty);
  EXPECT_EQ(redShift, 10);
  EXPECT_EQ(greenLoss, 3);
  const bool chain = refused < 3;
  EXPECT_EQ(backSurface == overlaySurface, !chain);
  EXPECT_EQ(LogCount("Blt overlay fill 0x0 -> ok") + LogCount("Blt back fill 0x0 -> ok"), 2);

  // The first frame places the overlay over the client area, then shows what was copied.
  for (int frame = 0; frame < 2; ++frame) {
    ASSERT_TRUE(Present(frame));
    const auto shown = vt::PresentedFrames().back();
    EXPECT_TRUE(shown.overlay);
    EXPECT_EQ(shown.flipped, chain);
    EXPECT_EQ(PatternMisses(shown.picture, frame), 0);
  }
  EXPECT_FALSE(overlayDirty);
  const vt::DisplayState display = vt::DirectDrawDisplay();
  EXPECT_TRUE(display.overlayShown);
  const RECT client = ClientOnScreen();
  EXPECT_EQ(display.overlayDestination.left, client.left);
  EXPECT_EQ(display.overlayDestination.bottom, client.bottom);
  EXPECT_EQ(LogCount("UpdateOverlay show key fx"), 1);
  EXPECT_EQ(LogCount("Flip overlay -> notflippable"), chain ? 0 : 2);
}
INSTANTIATE_TEST_SUITE_P(Display, OverlayLadder, ::testing::Range(0, 5));

TEST_F(Display, OverlayPlacementDropsEffectsThenTheKey) {
  vt::DirectDrawFaults faults;
  faults.refuseOverlayEffects = true;
  ASSERT_FALSE(Init(1, faults));
  PresentFrame();
  EXPECT_EQ(LogLines("UpdateOverlay"), (std::vector<std::string>{
                                           "UpdateOverlay show key fx (104,73)-(736,526) -> unsupported",
                                           "UpdateOverlay show key (104,73)-(736,526) -> ok"}));
  faults.refuseOverlayKey = true;
  vt::InjectDirectDrawFaults(faults);
  const RECT elsewhere{0, 0, 320, 240};
  PlaceOverlay(false, &elsewhere);
  const auto lines = LogLines("UpdateOverlay");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], "UpdateOverlay hide key fx (0,0)-(320,240) -> unsupported");
  EXPECT_EQ(lines[3], "UpdateOverlay hide key (0,0)-(320,240) -> nocolorkeyhw");
  EXPECT_EQ(lines[4], "UpdateOverlay hide (0,0)-(320,240) -> ok");
  EXPECT_FALSE(vt::DirectDrawDisplay().overlayShown);
}

TEST_F(Display, WiderPitchLeavesTheBytesBetweenRowsAlone) {
  vt::DirectDrawFaults faults;
  faults.surfacePitch = 1408;
  faults.refuseOverlays = 4;  // a single overlay: the frame stays where it is written
  ASSERT_FALSE(Init(1, faults));
  ASSERT_EQ(backSurface, overlaySurface);
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  ASSERT_FALSE(backSurface->LockSurface(&desc, DDLOCK_WAIT));
  ASSERT_EQ(desc.lPitch, 1408);
  std::memset(desc.lpSurface, 0xAB, 1408 * kH);
  ASSERT_FALSE(backSurface->UnlockSurface());

  ASSERT_TRUE(Present(1));
  EXPECT_EQ(PatternMisses(vt::DirectDrawDisplay().visible, 1), 0);
  ASSERT_FALSE(backSurface->LockSurface(&desc, DDLOCK_WAIT));
  const auto* bytes = static_cast<const uint8_t*>(desc.lpSurface);
  int gapChanged = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 1280; x < 1408; ++x) gapChanged += bytes[y * 1408 + x] != 0xAB;
  EXPECT_EQ(gapChanged, 0);
  EXPECT_FALSE(backSurface->UnlockSurface());
}

TEST_F(Display, FrameAlreadyInTheBackSurfaceSkipsTheCopyOnce) {
  ASSERT_FALSE(Init(0));
  ASSERT_TRUE(Present(0));
  // The scene wrote frame 2 itself; vscreen holds something else.
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  ASSERT_FALSE(backSurface->LockSurface(&desc, DDLOCK_WAIT));
  for (int y = 0; y < kH; ++y) {
    auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch);
    for (int x = 0; x < kW; ++x) row[x] = PatternPixel(x, y, 2, false);
  }
  ASSERT_FALSE(backSurface->UnlockSurface());
  DrawPattern(3, false);
  frameInBackSurface = true;
  PresentFrame();
  EXPECT_FALSE(frameInBackSurface);
  EXPECT_EQ(LastFrameMisses(2), 0);
  PresentFrame();
  EXPECT_EQ(LastFrameMisses(3), 0);
}

// --- Lost surfaces

TEST_F(Display, LostAtLockIsRestoredAndLockedAgain) {
  vt::DirectDrawFaults faults;
  faults.loseAtLock = 1;
  ASSERT_FALSE(Init(0, faults));
  ASSERT_TRUE(Present(0));
  EXPECT_EQ(LogLines("Lock"), std::vector<std::string>{"Lock back -> lost"});
  EXPECT_EQ(LogLines("Restore"), std::vector<std::string>{"Restore back -> ok"});
  EXPECT_EQ(LastFrameMisses(0), 0);  // the copy went into the restored surface
}

TEST_F(Display, LostAtEveryLockGivesUpAfterThreeRestores) {
  vt::DirectDrawFaults faults;
  faults.loseAtLock = 4;
  ASSERT_FALSE(Init(0, faults));
  // The copy is skipped; the chain, still lost, is restored once more by the flip.
  EXPECT_FALSE(Present(0));
  EXPECT_EQ(LogCount("Lock back -> lost"), 4);
  EXPECT_EQ(LogCount("Restore back -> ok"), 3);
  EXPECT_EQ(LogLines("Flip"), std::vector<std::string>{"Flip primary -> lost"});
  EXPECT_EQ(LogCount("Restore primary -> ok"), 1);
  EXPECT_FALSE(backSurface->locked);
  ASSERT_TRUE(Present(1));
  EXPECT_EQ(LastFrameMisses(1), 0);
}

TEST_F(Display, FailedRestoreSkipsTheCopy) {
  vt::DirectDrawFaults faults;
  faults.loseAtLock = 1;
  faults.refuseRestores = 1;
  ASSERT_FALSE(Init(0, faults));
  EXPECT_FALSE(Present(0));
  EXPECT_EQ(LogCount("Lock back -> lost"), 1);
  EXPECT_EQ(LogLines("Restore"), (std::vector<std::string>{"Restore back -> wrongmode", "Restore primary -> ok"}));
  // The flip found the chain lost and restored it; the next frame is whole.
  ASSERT_TRUE(Present(1));
  EXPECT_EQ(LastFrameMisses(1), 0);
}

TEST_F(Display, LostAtFlipIsRestoredWithoutRepeatingTheFrame) {
  vt::DirectDrawFaults faults;
  faults.loseAtFlip = 1;
  ASSERT_FALSE(Init(0, faults));
  EXPECT_FALSE(Present(0));
  EXPECT_EQ(LogCount("Flip primary -> lost"), 1);
  EXPECT_EQ(LogLines("Restore"), std::vector<std::string>{"Restore primary -> ok"});
  ASSERT_TRUE(Present(1));
  EXPECT_EQ(LastFrameMisses(1), 0);
}

TEST_F(Display, SwitchingAwayLosesTheLockedSurfaceAndUnlockStillDropsTheLock) {
  ASSERT_FALSE(Init(0));
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  ASSERT_FALSE(backSurface->LockSurface(&desc, DDLOCK_WAIT));
  SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_TRUE(backSurface->UnlockSurface());
  EXPECT_EQ(backSurface->lastResult, DDERR_SURFACELOST);
  EXPECT_FALSE(backSurface->locked);
  // Away, the surface cannot be restored; back again, the next lock restores it.
  EXPECT_TRUE(backSurface->LockSurface(&desc, DDLOCK_WAIT));
  SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_FALSE(backSurface->LockSurface(&desc, DDLOCK_WAIT));
  EXPECT_FALSE(backSurface->UnlockSurface());
  EXPECT_EQ(LogLines("Restore"), (std::vector<std::string>{"Restore back -> wrongmode", "Restore back -> ok"}));
}

// --- Teardown

TEST_F(Display, AfterShutdownNothingIsPlacedOrPresented) {
  ASSERT_FALSE(Init(1));
  PresentFrame();
  ShutdownDisplay();
  EXPECT_EQ(vscreen, nullptr);
  EXPECT_EQ(primarySurface, nullptr);
  EXPECT_EQ(overlaySurface, nullptr);
  EXPECT_EQ(backSurface, nullptr);
  EXPECT_EQ(ddraw->surfaces, nullptr);
  EXPECT_EQ(ddraw->ddraw, nullptr);
  const size_t logged = vt::DirectDrawLog().size();
  const RECT somewhere{0, 0, 10, 10};
  PlaceOverlay(true, &somewhere);
  EXPECT_EQ(vt::DirectDrawLog().size(), logged);
  EXPECT_FALSE(vt::DirectDrawDisplay().overlayShown);
  DestroyDisplay();
  EXPECT_EQ(ddraw, nullptr);
}

// --- Through the real entry point

constexpr int kGo = 108, kWindowedBox = 110;

class DisplayRun : public ::testing::Test {
 protected:
  void TearDown() override { vt::ResetHost(); }
  static void Host(bool windowedRun) {
    vt::HeadlessOptions options;
    options.timeLimitMs = 60 * 1000;
    options.limitAction = vt::LimitAction::Abort;
    vt::UseHeadlessHost(options);
    if (windowedRun)
      vt::AnswerNextDialog({vt::DialogStep::CheckBox(kWindowedBox), vt::DialogStep::Press(kGo)});
    else
      vt::AnswerNextDialog({vt::DialogStep::Press(kGo)});
    AnalyseMasks(0, 0, 0);
  }
  static int Run() { return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT); }
};

TEST_F(DisplayRun, FullScreenPresents565FramesAndSurvivesSwitchingAway) {
  Host(false);
  vt::Activate(8000, false);
  vt::Activate(9000, true);
  vt::KeyDown(12000, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(vt::MessageBoxes().empty());
  EXPECT_EQ(redShift, 11);
  EXPECT_EQ(greenShift, 5);
  EXPECT_EQ(greenLoss, 2);
  EXPECT_EQ(LogCount("SetDisplayMode 640x480x16 -> ok"), 1);
  EXPECT_EQ(LogCount("SwitchAway"), 1);
  EXPECT_GE(LogCount("Restore") , 1);
  const auto frames = vt::PresentedFrames();
  ASSERT_FALSE(frames.empty());
  EXPECT_FALSE(frames.back().overlay);
  EXPECT_GT(frames.back().atUs, 9000u * 1000);  // the show went on after coming back
  EXPECT_GT(vt::PresentedFrameCount(), 100u);
}

TEST_F(DisplayRun, WindowedPresents555AndFollowsMovesSizesAndMinimising) {
  Host(true);
  vt::MoveWindowTo(8000, 200, 100);
  vt::SizeWindow(8500, 400, 300);
  vt::Minimise(9000);
  vt::Restore(9500);
  vt::KeyDown(10000, VK_ESCAPE);
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(vt::MessageBoxes().empty());
  EXPECT_EQ(redShift, 10);
  EXPECT_EQ(greenLoss, 3);
  const auto frames = vt::PresentedFrames();
  ASSERT_FALSE(frames.empty());
  EXPECT_TRUE(frames.back().overlay);
  // Client area: frame 4 px, caption 19 px.
  EXPECT_GE(LogCount("UpdateOverlay show key fx (204,123)-(836,576) -> ok"), 1);
  EXPECT_GE(LogCount("UpdateOverlay show key fx (204,123)-(596,396) -> ok"), 1);
  EXPECT_EQ(LogCount("UpdateOverlay hide"), 1);
  const auto lines = LogLines("UpdateOverlay");
  const auto hide = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.find("hide") != std::string::npos; });
  ASSERT_NE(hide, lines.end());
  ASSERT_NE(hide + 1, lines.end());
  EXPECT_NE((hide + 1)->find("show"), std::string::npos);
}

TEST_F(DisplayRun, WithoutOverlaySupportTheWindowedShowEndsWithItsError) {
  Host(true);
  vt::DirectDrawFaults faults;
  faults.noOverlay = true;
  vt::InjectDirectDrawFaults(faults);
  EXPECT_EQ(Run(), -1);
  const auto boxes = vt::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "init windowed failed");
  EXPECT_EQ(vt::PresentedFrameCount(), 0u);
}

TEST_F(DisplayRun, RefusedModeEndsTheFullScreenShowWithItsError) {
  Host(false);
  vt::DirectDrawFaults faults;
  faults.refuseDisplayMode = true;
  vt::InjectDirectDrawFaults(faults);
  EXPECT_EQ(Run(), -1);
  const auto boxes = vt::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "init 640x480 16bit failed");
}

}  // namespace
