// Where the show's 640 x 480 frame lies in an output picture (each pixel an N x N block, centred
// on black), and the frame drawn there in the layouts the outputs take.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace capture {

constexpr int kShowWidth = 640, kShowHeight = 480;
constexpr int kMaxScale = 8;

struct Framing {
  int scale = 1;
  int width = kShowWidth;  // the output picture; at least the scaled frame
  int height = kShowHeight;

  static Framing Scaled(int scale) { return {scale, kShowWidth * scale, kShowHeight * scale}; }
  bool Fits() const { return kShowWidth * scale <= width && kShowHeight * scale <= height; }
  int left() const { return (width - kShowWidth * scale) / 2; }
  int top() const { return (height - kShowHeight * scale) / 2; }
  // The show's row behind an output one; -1 in the black bars.
  int SourceRow(int y) const {
    const int at = y - top();
    return at >= 0 && at < kShowHeight * scale ? at / scale : -1;
  }
  size_t Yuv420Bytes() const { return static_cast<size_t>(width) * height * 3 / 2; }
};

// Draws presented frames (5:6:5, or 5:5:5 with `overlay`) into output pictures of one framing.
class FramePainter {
 public:
  explicit FramePainter(const Framing& framing);

  // 8-bit RGB, `stride` bytes from one output row to the next.
  void ToRgb(const uint16_t* pixels, bool overlay, uint8_t* out, size_t stride) const;
  // Planar Y, U, V with 2 x 2 chroma (even sizes), limited range, BT.601 matrix.
  void ToYuv420(const uint16_t* pixels, bool overlay, uint8_t* out);

  const Framing& framing() const { return framing_; }

 private:
  Framing framing_;
  std::vector<uint32_t> uvTop_, uvBottom_;  // the two output rows under a row of chroma
};

}  // namespace capture
