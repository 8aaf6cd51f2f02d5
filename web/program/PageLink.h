// What the program and its page share, in the program's memory. The page finds it through
// vemora_page_link() and reads it by 32-bit word (page.js and audio-worklet.js name the
// offsets; the static_asserts below pin them), so every field is a 32-bit word.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace web {

// A frame is at most 640 x 480 pixels: the show's picture, or the program's window as it is.
constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;
constexpr int kFramePixels = kFrameWidth * kFrameHeight;
constexpr int kFrameSlots = 3;
// Set in frameMiddle while the slot there has not been taken by the page yet.
constexpr std::uint32_t kFreshFrame = 0x100;
// Pixel formats: 16-bit 5:6:5 and 5:5:5 (the show's picture), 32-bit 0x00RRGGBB (a window).
constexpr std::uint32_t kFormat565 = 565;
constexpr std::uint32_t kFormat555 = 555;
constexpr std::uint32_t kFormat888 = 888;
constexpr int kTitleBytes = 36;

// How the page shows a frame: a window in the page at its own size under its caption, the
// picture scaled by whole pixels to fit the page, or the picture on the whole screen.
enum class PageView : std::uint32_t { kPage = 0, kWindowed = 1, kFullScreen = 2 };

struct FrameSlot {
  std::uint32_t number;  // counted from 1
  std::uint32_t format;  // kFormat565, kFormat555 or kFormat888
  std::uint32_t hash;    // FNV-1a of the pixels' bytes while the page wants hashes, else 0
  std::uint32_t pixels;  // address of width x height little-endian pixels, rows back to back
  std::uint32_t width;
  std::uint32_t height;
  PageView view;
  char title[kTitleBytes];  // the window's caption (kPage), UTF-8, ended by a 0
};

enum SoundState : std::int32_t { kSoundClosed = 0, kSoundOpening = 1, kSoundRunning = 2, kSoundRefused = 3 };

// What the program had written when it had written `frames` non-silent frames; the page's tap
// compares its own hash of the first `frames` non-silent frames it received with `hash`.
struct SoundCheckpoint {
  std::uint32_t frames;
  std::uint32_t hash;
};
constexpr int kSoundCheckpoints = 64;

enum InputType : std::int32_t {
  kKeyDown = 1,
  kKeyUp = 2,
  kMouseMove = 3,
  kButtonDown = 4,
  kButtonUp = 5,
  kCharacter = 6,
  kClose = 7,  // the close box of the window's caption
};
struct InputEvent {
  std::int32_t type;
  std::int32_t code;  // Win32 virtual key, mouse button (0 left, 1 middle, 2 right) or character (UTF-32)
  std::int32_t x;     // mouse position in pixels of the frame drawn last
  std::int32_t y;
};
constexpr int kInputEvents = 256;

constexpr std::int32_t kNoAnswer = 0;

struct PageLink {
  // Frames: a triple buffer. The program fills its back slot and swaps it into the middle;
  // the page swaps its front slot with the middle when the middle is fresh.
  std::atomic<std::uint32_t> frameMiddle;
  std::atomic<std::uint32_t> framesPublished;
  std::atomic<std::uint32_t> wantHashes;  // set by the page
  std::uint32_t reserved;
  FrameSlot slots[kFrameSlots];

  // Sound: a ring of 16-bit stereo frames; counts only grow (modulo 2^32).
  std::atomic<std::int32_t> soundState;
  std::atomic<std::uint32_t> soundRate;
  std::uint32_t soundCapacity;  // frames
  std::uint32_t soundSamples;   // address of the ring
  std::atomic<std::uint32_t> soundWritten;
  std::atomic<std::uint32_t> soundRead;     // advanced by the page's worklet
  std::atomic<std::uint32_t> soundPlaying;  // while 0 the worklet takes nothing and plays silence
  std::atomic<std::uint32_t> underruns;     // render quanta the worklet could not fill while playing
  std::atomic<std::uint32_t> checkpointCount;
  SoundCheckpoint checkpoints[kSoundCheckpoints];

  // Input, written by the page.
  std::atomic<std::uint32_t> inputWritten;
  std::atomic<std::uint32_t> inputRead;
  InputEvent input[kInputEvents];

  // The answer to the open message box, written by the page.
  std::atomic<std::int32_t> messageAnswer;
};

static_assert(sizeof(std::atomic<std::uint32_t>) == 4 && std::atomic<std::uint32_t>::is_always_lock_free);
static_assert(offsetof(PageLink, slots) == 16 && sizeof(FrameSlot) == 64 && offsetof(FrameSlot, title) == 28);
static_assert(offsetof(PageLink, soundState) == 208);
static_assert(offsetof(PageLink, checkpointCount) == 240 && offsetof(PageLink, checkpoints) == 244);
static_assert(offsetof(PageLink, inputWritten) == 756 && offsetof(PageLink, input) == 764);
static_assert(offsetof(PageLink, messageAnswer) == 764 + kInputEvents * 16);

// The one link of this program.
PageLink& Link();

// FNV-1a, 32 bits: the hash the page and its tests compute too.
constexpr std::uint32_t kHashStart = 2166136261u;
inline std::uint32_t Hash(std::uint32_t hash, const std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; i++) hash = (hash ^ bytes[i]) * 16777619u;
  return hash;
}

}  // namespace web
