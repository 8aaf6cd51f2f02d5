// The one door for tests and tools into the platform: choose the host, script input on the
// virtual clock, charge frame time, and read back what the program showed. The platform keeps
// its own types; the door translates. Each host's part of it lives in the host's folder.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host.h"

namespace vemora::testing {

enum class LimitAction {
  Close,   // send WM_CLOSE to the window
  Escape,  // press and release Escape
  Abort,   // print and abort at once
};

struct HeadlessOptions {
  int screenWidth = 640;
  int screenHeight = 480;
  // Local calendar time at virtual time 0, in seconds since 1970-01-01 (2000-01-01 12:00:00).
  std::int64_t epochSeconds = 946728000;
  // Safety limit: after this much virtual time the host acts, and aborts if the program still
  // runs `graceMs` later. 0 disables it.
  std::uint64_t timeLimitMs = 30 * 60 * 1000;
  std::uint64_t graceMs = 10 * 1000;
  LimitAction limitAction = LimitAction::Close;
  // Keep one line per thread handover (for determinism checks); costs an allocation per switch.
  bool recordTrace = false;
};

// The calling thread becomes the program's main thread. Call before WinMain, in-process.
void UseHeadlessHost(const HeadlessOptions& options = {});  // vemora_host_headless
// Opens SDL's video; false with the reason when there is no display.
bool UseSdlHost(std::string* error);  // vemora_host_sdl
// Forgets the host, windows and threads so that another run can start in this process.
// Threads of the old run that are still blocked stay blocked forever.
void ResetHost();
bool HeadlessHostActive();

// --- Virtual clock (headless host only)
std::uint64_t VirtualTimeMs();
std::uint64_t VirtualTimeUs();

// --- Scripted input, at virtual times in ms; delivered to the most recently created live window.
// Keys are posted (WM_KEYDOWN/WM_KEYUP); window events are sent inside the owner's next
// message call (WM_ACTIVATE, WM_MOVING + WM_MOVE, WM_SIZING + WM_SIZE, WM_SIZE, WM_CLOSE); a window
// that grows gets WM_PAINT for the new area.
void KeyDown(std::uint64_t atMs, int virtualKey);
void KeyUp(std::uint64_t atMs, int virtualKey);
// Down at atMs, auto-repeat WM_KEYDOWN after repeatDelayMs every repeatIntervalMs, up after holdMs.
void KeyPress(std::uint64_t atMs, int virtualKey, std::uint64_t holdMs = 50, std::uint64_t repeatDelayMs = 500,
              std::uint64_t repeatIntervalMs = 33);
void Activate(std::uint64_t atMs, bool active);
void MoveWindowTo(std::uint64_t atMs, int x, int y);   // outer position
void SizeWindow(std::uint64_t atMs, int width, int height);  // outer size
void Minimise(std::uint64_t atMs);
void Maximise(std::uint64_t atMs);  // by the host (a window manager), over the whole screen
void Restore(std::uint64_t atMs);
void Close(std::uint64_t atMs);

// --- Dialogs (DialogBoxParamA). Each call scripts the next dialog that opens: after
// WM_INITDIALOG the steps run in order until EndDialog; an unanswered dialog gets Enter
// (WM_COMMAND of the default button: the template's default push button, or IDOK, unless
// DM_SETDEFID chose another), then WM_CLOSE, and returns -1 if it still has not ended.
// Steps act as the user would: on visible controls only, with the notifications Windows sends.
struct DialogStep {
  enum class Kind { Check, Uncheck, Press, Close, Select, Type, Key, Click };
  Kind kind;
  int control;
  int index = 0;          // Select: the item; Key: the virtual key; Click: x
  std::string text = {};  // Type: the new text
  int y = 0;              // Click: y
  bool shift = false;     // Key: with Shift held
  // Clicks the box unless it already is checked (or unchecked).
  static DialogStep CheckBox(int control) { return {Kind::Check, control}; }
  static DialogStep UncheckBox(int control) { return {Kind::Uncheck, control}; }
  // A click on the control (an auto check box toggles).
  static DialogStep Press(int control) { return {Kind::Press, control}; }
  static DialogStep CloseBox() { return {Kind::Close, 0}; }
  // Opens the drop-down list or combo box and clicks its item `index`.
  static DialogStep Select(int control, int index) { return {Kind::Select, control, index}; }
  // Replaces the text of a combo box's edit field.
  static DialogStep Type(int control, std::string text) { return {Kind::Type, control, 0, std::move(text)}; }
  // A key pressed and released (printable keys type their character), or a left click at a
  // point of the client area, through the same handling as real keyboard and mouse input.
  static DialogStep Key(int virtualKey, bool shift = false) { return {Kind::Key, 0, virtualKey, {}, 0, shift}; }
  static DialogStep Click(int x, int y) { return {Kind::Click, 0, x, {}, y}; }
};
void AnswerNextDialog(std::vector<DialogStep> steps);

// A control as it was when its dialog ended.
struct DialogControl {
  int id = -1;            // -1: no id
  std::string className;  // "button", "combobox", "static", ...
  DWORD style = 0;
  bool visible = false;
  std::string text;                // caption, or what the edit field or the drop-down list shows
  std::vector<std::string> items;  // the list of a combo box
  int selection = -1;
  int droppedWidth = 0;            // width of the dropped list in pixels
  UINT check = BST_UNCHECKED;
  bool focused = false;
  RECT rect{};                     // client coordinates in pixels (combo boxes: the closed field)
};

struct DialogRecord {
  std::uintptr_t templateId = 0;  // MAKEINTRESOURCEA value, or the name's address
  bool ended = false;
  INT_PTR result = -1;
  std::map<int, UINT> buttons;  // check box states at the end
  std::string title;
  RECT windowRect{};     // screen coordinates when it ended
  HICON icon = nullptr;  // the class icon
  std::vector<DialogControl> controls;  // in template order
  // The first control with this id, or null.
  const DialogControl* Control(int id) const {
    for (const DialogControl& control : controls)
      if (control.id == id) return &control;
    return nullptr;
  }
};
std::vector<DialogRecord> Dialogs();

// --- Time charging: the main thread's first PeekMessageA at or after virtual time afterMs
// first sleeps sleepMs of virtual time, as if the frame before it had taken that long.
void ChargeFrame(std::uint64_t afterMs, std::uint64_t sleepMs);

// --- Read back
struct WindowState {
  bool exists = false;
  std::string title;
  std::string className;
  DWORD style = 0;  // as created, plus WS_VISIBLE / WS_MINIMIZE / WS_MAXIMIZE for the show state
  RECT windowRect{};
  RECT clientRect{};
  bool visible = false;
  bool minimised = false;
  bool maximised = false;
  HBRUSH background = nullptr;
};
// The most recently created window that still exists (exists == false when there is none).
WindowState MainWindow();

constexpr std::uint32_t kNeutralPixel = 0x00808080;  // what a window shows before it is drawn on

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, row-major
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
// The client area of MainWindow() as GDI left it.
Picture WindowPixels();

// --- Dialog text: the face the current host's dialogs use, and the built-in one, side by side.
enum class TextFace { Host, BuiltIn };
// The name of the host's face ("Liberation Sans (/usr/share/fonts/...)", or the built-in one's);
// empty for a host that draws no text.
std::string DialogFaceName();
// `text` in black, its top-left corner at (x, y) of a white picture of width x height pixels.
Picture DrawDialogText(TextFace face, int pixelHeight, const std::string& text, int x, int y, int width, int height);
int DialogTextWidth(TextFace face, int pixelHeight, const std::string& text);

struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
  std::uint64_t atMs;
};
std::vector<MessageBoxRecord> MessageBoxes();

int CursorDisplayCount();

// With HeadlessOptions::recordTrace: "<virtual us> <from thread index> -> <to thread index>" per handover.
std::vector<std::string> SchedulerTrace();
// Number of thread handovers since the host started (always counted).
std::uint64_t HandoverCount();

// --- A thread busy outside the platform (headless host). The calling thread gives up its turn
// and runs on beside the others, as a thread busy computing does on a real machine; its next
// platform call waits for its turn again, or stops it for good if it was terminated meanwhile.
// Runs are not repeatable while a thread is out.
void LeaveScheduler();
// Threads that left the scheduler and have made no platform call since.
int ThreadsOutsideScheduler();


// --- DirectDraw: faults to inject, and what was shown. Counters count down as calls use them.
struct DirectDrawFaults {
  bool createFails = false;            // DirectDrawCreate
  bool queryFails = false;             // QueryInterface for IID_IDirectDraw
  int refuseCooperativeLevel = 0;      // the next n SetCooperativeLevel calls
  bool refuseDisplayMode = false;      // SetDisplayMode
  unsigned refusePrimaryBackBuffers = 0;  // bit n: a primary with n back buffers is refused
  bool refuseAttach = false;           // GetAttachedSurface
  bool noOverlay = false;              // the display has no overlay hardware
  int refuseOverlays = 0;              // the next n overlay creations
  int loseAtLock = 0;                  // the next n Lock calls find their surface lost
  int loseAtFlip = 0;                  // the next n Flip calls find their surface lost
  int refuseRestores = 0;              // the next n Restore calls fail
  bool refuseOverlayEffects = false;   // UpdateOverlay with DDOVER_DDFX
  bool refuseOverlayKey = false;       // UpdateOverlay with DDOVER_KEYDESTOVERRIDE
  LONG surfacePitch = 0;               // row distance of 640-wide surfaces in bytes; 0 = 1280
  int displays = -1;                   // displays listed after the primary driver; -1 = the host's
  int nullDescription = -1;            // the enumerated device with this index (0: the primary driver)
                                       // reports no description
};
// Replaces the faults; a host reset clears them.
void InjectDirectDrawFaults(const DirectDrawFaults& faults);

// One line per DirectDraw call that matters to the display, e.g.
// "CreateSurface overlay back=2 memory=video -> ok", "UpdateOverlay show key fx (10,29)-(642,482) -> ok".
std::vector<std::string> DirectDrawLog();

struct PresentedFrame {
  std::uint64_t atUs = 0;  // virtual time of the flip
  bool overlay = false;    // windowed overlay (5:5:5) rather than the full-screen primary (5:6:5)
  bool flipped = true;     // false: written straight into a visible surface without a flip chain
  Picture picture;         // 640 x 480, 0x00RRGGBB
};
// The headless host keeps the last `keep` frames (default 8) and counts them all.
void KeepPresentedFrames(std::size_t keep);
std::vector<PresentedFrame> PresentedFrames();
std::uint64_t PresentedFrameCount();
// Called on the presenting thread for every frame, for tools that need them all.
void OnPresentedFrame(std::function<void(const PresentedFrame&)> sink);

struct DisplayState {
  bool fullScreen = false;      // exclusive 640x480x16 mode set
  bool overlayShown = false;
  RECT overlayDestination{};    // screen coordinates
  Picture visible;              // what the visible surface holds now (empty when none)
};
DisplayState DirectDrawDisplay();

// --- Audio (waveOut and DirectSound). On the headless host the devices are virtual: they play
// at their rate on the virtual clock and keep every byte they played.
void SetAudioDevices(std::vector<std::string> names);  // headless device names; default {"Virtual output"}
struct PlayedAudio {
  int rate = 0;
  int channels = 0;
  int bits = 0;
  std::vector<std::uint8_t> bytes;
  std::uint64_t underruns = 0;  // times the device ran dry and waited for more
};
// One entry per device opened since the host started, in opening order.
std::vector<PlayedAudio> PlayedAudioStreams();
// Refusals, each for the next matching calls.
void FailWaveOutOpen(int times = 1);
void RefuseDirectSoundPriority(bool refuse = true);  // any level above DSSCL_NORMAL
void LoseSoundBufferAtPlay(int times = 1);           // IDirectSoundBuffer::Play reports DSERR_BUFFERLOST
void LoseSoundBufferAtLock(int times = 1);           // IDirectSoundBuffer::Lock reports DSERR_BUFFERLOST
void FailSoundBufferRestore(int times = 1);
// waveOutWrite and IDirectSoundBuffer::Lock never return (a driver stuck in the device).
void HangAudioWrites(bool hang = true);

// --- Streaming read-back, for tools that record a whole run: each presentation and each played
// stretch of sound handed over as it happens, so that memory stays flat however long the run.
struct PresentedRaw {
  std::uint64_t atUs = 0;                 // virtual time of the presentation
  bool overlay = false;                   // 5:5:5 (windowed overlay) rather than 5:6:5
  const std::uint16_t* pixels = nullptr;  // 640 x 480 as presented, rows 640 apart; valid during the
                                          // call; null unless asked for
};
// Called on the presenting thread after every presentation, with no DirectDraw lock held. The
// pixels are copied (never converted) only with `withPixels`. Combine with KeepPresentedFrames(0)
// so that nothing else is copied.
void OnPresentedRaw(std::function<void(const PresentedRaw&)> sink, bool withPixels);
// The colour (0x00RRGGBB) a presented pixel shows, as in Picture.
std::uint32_t PresentedColour(std::uint16_t pixel, bool overlay);

struct PlayedChunk {
  int stream = 0;          // device in opening order, as in PlayedAudioStreams
  std::uint64_t atUs = 0;  // virtual time at which its first frame played
  int rate = 0;
  int channels = 0;
  int bits = 0;
  const std::uint8_t* bytes = nullptr;  // valid during the call
  std::size_t size = 0;
};
// Headless devices opened after this call hand what they play to `sink`, on their own thread,
// instead of keeping it in PlayedAudioStreams (which then holds no bytes for them).
void OnPlayedAudio(std::function<void(const PlayedChunk&)> sink);

}  // namespace vemora::testing
