// A small program for the page's tests: it publishes a moving pattern every 15 ms, plays a
// known tone through the sound ring from a thread of its own, answers keys and clicks, and
// ends with Escape. It prints what the tests compare with what the page saw.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "FramePublisher.h"
#include "PageCalls.h"
#include "PageInput.h"
#include "SoundRing.h"

namespace {

constexpr double kTickMs = 15;
constexpr std::int32_t kEscape = 0x1B;
constexpr std::int32_t kMessageKey = 'M';

struct Options {
  std::uint32_t rate = 48000;
  double toneSeconds = 2;
  bool windowed = false;
};

// A saw on the left and a slower one on the right, with a silent stretch at each second's start
// so that the tap's skipping of silence is exercised.
void Tone(std::uint32_t rate, std::uint32_t first, std::uint32_t frames, std::int16_t* pcm) {
  for (std::uint32_t i = 0; i < frames; i++) {
    const std::uint32_t n = first + i;
    const bool silent = n % rate < rate / 50;
    pcm[i * 2] = silent ? 0 : static_cast<std::int16_t>((n * 440u * 65536u / rate) % 65536u - 32768) / 4;
    pcm[i * 2 + 1] = silent ? 0 : static_cast<std::int16_t>((n * 110u * 65536u / rate) % 65536u - 32768) / 4;
  }
}

void WriteAll(web::SoundRing& ring, const std::int16_t* pcm, std::uint32_t frames) {
  for (std::uint32_t put = 0; put < frames;) {
    put += ring.Write(pcm + put * 2, frames - put);
    if (put < frames) ring.WaitUntilTaken(50);
  }
}

// Plays the tone to its end, then a tenth of a second of silence that keeps the worklet fed
// while this thread notices that the tone has been taken.
void PlayTone(const Options& options) {
  // The counts start two seconds short of their wrap, so that every run crosses it.
  web::Link().soundWritten = 0u - 2 * options.rate;
  web::SoundRing ring;
  ring.Reset(options.rate / 2);
  const std::uint32_t total = static_cast<std::uint32_t>(options.toneSeconds * options.rate);
  const std::uint32_t block = options.rate / 70;
  std::vector<std::int16_t> pcm(block * 2);
  for (std::uint32_t done = 0; done < total; done += block) {
    const std::uint32_t frames = std::min(block, total - done);
    Tone(options.rate, done, frames, pcm.data());
    WriteAll(ring, pcm.data(), frames);
    ring.Play(true);
  }
  const std::uint32_t tail = options.rate / 10;
  std::vector<std::int16_t> silence(tail * 2);
  WriteAll(ring, silence.data(), tail);
  while (ring.Queued() > tail / 2) ring.WaitUntilTaken(50);
  ring.Play(false);
  std::printf("tone done: %u frames\n", total);
}

void DrawPattern(std::uint16_t* pixels, std::uint32_t frame) {
  for (int y = 0; y < web::kFrameHeight; y++) {
    for (int x = 0; x < web::kFrameWidth; x++) {
      const std::uint32_t band = ((x + frame * 4) / 32 + y / 32) & 7;
      pixels[y * web::kFrameWidth + x] = static_cast<std::uint16_t>(band * 0x2104 + ((x ^ y) & 0x1F) + frame);
    }
  }
}

// Answers queued input; false once Escape was pressed.
bool Answer() {
  web::InputEvent event;
  while (web::NextInput(event)) {
    if (event.type == web::kKeyDown && event.code == kEscape) return false;
    if (event.type == web::kKeyDown && event.code == kMessageKey) {
      std::printf("message answered: %d\n", web::ShowMessage("Problem", "A box from the test program"));
    } else if (event.type == web::kButtonDown) {
      std::printf("button %d at %d,%d\n", event.code, event.x, event.y);
    } else if (event.type == web::kKeyDown) {
      std::printf("key %d\n", event.code);
    }
  }
  return true;
}

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--windowed") == 0) {
      options.windowed = true;
    } else if (std::strcmp(argv[i], "--go") == 0) {
      // Taken as the show takes it; there is no dialog here to skip.
    } else if (std::strcmp(argv[i], "--rate") == 0 && i + 1 < argc) {
      options.rate = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      options.toneSeconds = std::strtod(argv[++i], nullptr);
    } else {
      std::fprintf(stderr, "usage: tone [--rate HZ] [--seconds S] [--windowed] [--go]\n");
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) return 2;
  if (options.rate == 0 || !web::OpenSound(options.rate)) {
    web::ShowMessage("Error", "audio failed");
    return -1;
  }
  std::printf("sound open at %u Hz\n", options.rate);
  std::thread player(PlayTone, options);
  web::FramePublisher frames;
  web::FrameShape shape;
  shape.view = options.windowed ? web::PageView::kWindowed : web::PageView::kFullScreen;
  double next = emscripten_get_now();
  for (std::uint32_t frame = 1; Answer(); frame++) {
    DrawPattern(frames.Back(), frame);
    frames.Publish(shape);
    // A late frame moves the beat rather than bunching the next ones.
    next = std::max(next + kTickMs, emscripten_get_now());
    for (double now = emscripten_get_now(); now < next; now = emscripten_get_now()) web::WaitForInput(next - now);
  }
  player.join();
  web::CloseSound();
  std::printf("ended after %u frames\n", web::Link().framesPublished.load());
  return 0;
}
