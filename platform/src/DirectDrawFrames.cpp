// Frame recording for tests and tools: the headless host keeps the last presented frames and
// counts them all; the tools' sinks get every frame, as a picture or as the raw surface.
#include <deque>
#include <functional>

#include "DirectDraw.h"
#include "DirectDrawObjects.h"
#include "testing.h"

namespace vemora::platform::ddraw {

namespace {

struct RawFrame {
  std::uint64_t atUs;
  bool overlay;
  bool flipped;
  Format format;
  std::vector<std::uint16_t> pixels;  // 640 x 480, no gap
};
std::deque<RawFrame> frames;
std::size_t keepFrames = 8;
std::uint64_t frameCount = 0;
FrameSink frameSink;  // every frame, with its pixels
FrameSink rawSink;
bool rawWithPixels = false;
// The sinks' copy of a presented frame: written and read by the presenting thread alone.
thread_local std::vector<std::uint16_t> sinkPixels;

// A 640 x 480 frame without the surface's row gap.
void CopyRows(const std::uint8_t* bytes, LONG pitch, std::vector<std::uint16_t>& out) {
  out.resize(static_cast<std::size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    std::memcpy(out.data() + static_cast<std::size_t>(y) * kWidth, bytes + static_cast<std::size_t>(y) * pitch,
                kWidth * 2);
}

}  // namespace

// Hands a frame to the tools' sinks, with no DirectDraw lock held so that they may call back.
void Deliver(const Delivery& delivery) {
  FrameSink sink;
  FrameSink raw;
  {
    std::lock_guard<std::mutex> held(ddLock);
    sink = frameSink;
    raw = rawSink;
  }
  if (sink && delivery.frame) sink(*delivery.frame);
  if (raw && delivery.raw) raw(*delivery.raw);
}

void Surface::Record(bool flipped, const Stamp& stamp, Delivery& deliver) {
  if (!stamp.recorded && !frameSink && !rawSink) return;
  ++frameCount;
  const std::uint8_t* bytes = Bytes();
  const bool overlay = kind_ == Kind::Overlay;
  // Nothing is copied or converted that nobody keeps or asked for.
  if (keepFrames > 0) {
    RawFrame frame;
    if (frames.size() >= keepFrames) {
      frame = std::move(frames.front());
      frames.pop_front();
    }
    frame.atUs = stamp.atUs;
    frame.overlay = overlay;
    frame.flipped = flipped;
    frame.format = format_;
    CopyRows(bytes, pitch_, frame.pixels);
    frames.push_back(std::move(frame));
  }
  const bool copy = frameSink || (rawSink && rawWithPixels);
  if (copy) CopyRows(bytes, pitch_, sinkPixels);
  const ShownFrame shown{stamp.atUs, overlay, flipped, copy ? sinkPixels.data() : nullptr};
  if (frameSink) deliver.frame = shown;
  if (rawSink) {
    deliver.raw = shown;
    if (!rawWithPixels) deliver.raw->pixels = nullptr;
  }
}

void ResetFrames() {
  frames.clear();
  keepFrames = 8;
  frameCount = 0;
  frameSink = nullptr;
  rawSink = nullptr;
  rawWithPixels = false;
}

}  // namespace vemora::platform::ddraw

namespace vemora::testing {

using namespace vemora::platform;
using namespace vemora::platform::ddraw;

namespace {

std::uint32_t ToRgb(std::uint16_t p, Format format) {
  std::uint32_t r, g, b;
  if (format == Format::Rgb565) {
    r = (p >> 11) & 31;
    g = (p >> 5) & 63;
    b = p & 31;
    g = (g << 2) | (g >> 4);
  } else {
    r = (p >> 10) & 31;
    g = (p >> 5) & 31;
    b = p & 31;
    g = (g << 3) | (g >> 2);
  }
  r = (r << 3) | (r >> 2);
  b = (b << 3) | (b >> 2);
  return (r << 16) | (g << 8) | b;
}

testing::Picture ToPicture(const std::uint8_t* pixels, LONG pitch, Format format) {
  testing::Picture picture;
  picture.width = kWidth;
  picture.height = kHeight;
  picture.pixels.resize(static_cast<std::size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * pitch;
    for (int x = 0; x < kWidth; ++x) {
      std::uint16_t p;
      std::memcpy(&p, row + 2 * x, 2);
      picture.pixels[static_cast<std::size_t>(y) * kWidth + x] = ToRgb(p, format);
    }
  }
  return picture;
}

}  // namespace

void KeepPresentedFrames(std::size_t keep) {
  std::lock_guard<std::mutex> held(ddLock);
  keepFrames = keep;
  while (frames.size() > keep) frames.pop_front();
}

std::vector<PresentedFrame> PresentedFrames() {
  std::lock_guard<std::mutex> held(ddLock);
  std::vector<PresentedFrame> out;
  for (const RawFrame& frame : frames)
    out.push_back(PresentedFrame{frame.atUs, frame.overlay, frame.flipped,
                                 ToPicture(reinterpret_cast<const std::uint8_t*>(frame.pixels.data()), kNaturalPitch,
                                           frame.format)});
  return out;
}

std::uint64_t PresentedFrameCount() {
  std::lock_guard<std::mutex> held(ddLock);
  return frameCount;
}

void OnPresentedFrame(std::function<void(const PresentedFrame&)> sink) {
  FrameSink translated;
  if (sink)
    translated = [sink = std::move(sink)](const ShownFrame& shown) {
      const Format format = shown.overlay ? Format::Rgb555 : Format::Rgb565;
      sink(PresentedFrame{shown.atUs, shown.overlay, shown.flipped,
                          ToPicture(reinterpret_cast<const std::uint8_t*>(shown.pixels), kNaturalPitch, format)});
    };
  std::lock_guard<std::mutex> held(ddLock);
  frameSink = std::move(translated);
}

std::uint32_t PresentedColour(std::uint16_t pixel, bool overlay) {
  return ToRgb(pixel, overlay ? Format::Rgb555 : Format::Rgb565);
}

void OnPresentedRaw(std::function<void(const PresentedRaw&)> sink, bool withPixels) {
  FrameSink translated;
  if (sink)
    translated = [sink = std::move(sink)](const ShownFrame& shown) {
      sink(PresentedRaw{shown.atUs, shown.overlay, shown.pixels});
    };
  std::lock_guard<std::mutex> held(ddLock);
  rawSink = std::move(translated);
  rawWithPixels = withPixels;
}

DisplayState DirectDrawDisplay() {
  DisplayState state;
  VisitScreen([&](const ScreenView& view) {
    state.fullScreen = view.fullScreen;
    state.overlayShown = view.overlayShown;
    state.overlayDestination = view.destination;
  });
  std::lock_guard<std::mutex> held(ddLock);
  Surface* visible = visiblePrimary != nullptr ? visiblePrimary : visibleOverlay;
  if (visible != nullptr && visible->HasMemory())
    state.visible = ToPicture(visible->Bytes(), visible->pitch(), visible->format());
  if (visibleOverlay != nullptr && !state.fullScreen) state.overlayDestination = overlayDestination;
  return state;
}

}  // namespace vemora::testing
