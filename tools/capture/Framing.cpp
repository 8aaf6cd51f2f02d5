#include "Framing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "testing.h"

namespace capture {

namespace {

// Every 16-bit pixel's colour in each layout the outputs take.
struct ColourTables {
  std::array<uint8_t, 65536 * 3> rgb;
  std::array<uint8_t, 65536> y;
  std::array<uint32_t, 65536> uv;  // U and V times 4 in the low and high halves: four of them add up

  explicit ColourTables(bool overlay) {
    for (uint32_t p = 0; p < 65536; ++p) {
      // The same colours as the platform's pictures.
      const uint32_t c = vemora::testing::PresentedColour(static_cast<uint16_t>(p), overlay);
      const double r = c >> 16, g = (c >> 8) & 255, b = c & 255;
      rgb[3 * p] = static_cast<uint8_t>(r);
      rgb[3 * p + 1] = static_cast<uint8_t>(g);
      rgb[3 * p + 2] = static_cast<uint8_t>(b);
      y[p] = static_cast<uint8_t>(std::lround(16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255));
      const long u = std::lround(4 * (128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255));
      const long v = std::lround(4 * (128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255));
      uv[p] = static_cast<uint32_t>(u) | static_cast<uint32_t>(v) << 16;
    }
  }
};

const ColourTables& TablesFor(bool overlay) {
  static const ColourTables full(false), windowed(true);
  return overlay ? windowed : full;
}

constexpr uint16_t kBlack = 0;  // in both layouts

// The show's row as output elements, each pixel `Scale` times: a constant scale lets the
// compiler unroll the copies.
template <int Scale, class Element, class Colour>
void BlowUpRow(const uint16_t* row, Element* at, Colour colour) {
  for (int x = 0; x < kShowWidth; ++x, at += Scale) {
    const Element c = colour(row[x]);
    for (int k = 0; k < Scale; ++k) at[k] = c;
  }
}

template <class Element, class Colour>
void BlowUpRow(int scale, const uint16_t* row, Element* at, Colour colour) {
  static_assert(kMaxScale == 8);
  switch (scale) {
    case 1: return BlowUpRow<1>(row, at, colour);
    case 2: return BlowUpRow<2>(row, at, colour);
    case 3: return BlowUpRow<3>(row, at, colour);
    case 4: return BlowUpRow<4>(row, at, colour);
    case 5: return BlowUpRow<5>(row, at, colour);
    case 6: return BlowUpRow<6>(row, at, colour);
    case 7: return BlowUpRow<7>(row, at, colour);
    default: return BlowUpRow<8>(row, at, colour);
  }
}

// One output row: show row `source` (-1: none) blown up between bars.
template <class Element, class Colour>
void PaintRow(const Framing& f, const uint16_t* pixels, int source, Element* row, Element bar, Colour colour) {
  if (source < 0) {
    std::fill(row, row + f.width, bar);
    return;
  }
  const int right = f.left() + kShowWidth * f.scale;
  std::fill(row, row + f.left(), bar);
  BlowUpRow(f.scale, pixels + source * kShowWidth, row + f.left(), colour);
  std::fill(row + right, row + f.width, bar);
}

// Every output row of one plane, rows `stride` bytes apart; rows that repeat a show row are copied.
template <class Element, class Colour>
void PaintPlane(const Framing& f, const uint16_t* pixels, uint8_t* out, size_t stride, Element bar, Colour colour) {
  static_assert(alignof(Element) == 1);
  const Element* previous = nullptr;
  int previousSource = -1;
  for (int y = 0; y < f.height; ++y) {
    auto* row = reinterpret_cast<Element*>(out + y * stride);
    const int source = f.SourceRow(y);
    if (source >= 0 && source == previousSource) {
      std::memcpy(row, previous, f.width * sizeof(Element));
      continue;
    }
    PaintRow(f, pixels, source, row, bar, colour);
    if (source >= 0) {
      previous = row;
      previousSource = source;
    }
  }
}

struct Rgb {
  uint8_t r, g, b;
};
static_assert(sizeof(Rgb) == 3);

}  // namespace

FramePainter::FramePainter(const Framing& framing)
    : framing_(framing), uvTop_(framing.width), uvBottom_(framing.width) {}

void FramePainter::ToRgb(const uint16_t* pixels, bool overlay, uint8_t* out, size_t stride) const {
  const auto* colours = reinterpret_cast<const Rgb*>(TablesFor(overlay).rgb.data());
  PaintPlane(framing_, pixels, out, stride, colours[kBlack], [colours](uint16_t p) { return colours[p]; });
}

void FramePainter::ToYuv420(const uint16_t* pixels, bool overlay, uint8_t* out) {
  const ColourTables& tables = TablesFor(overlay);
  const size_t width = framing_.width, height = framing_.height;
  PaintPlane(framing_, pixels, out, width, tables.y[kBlack], [&tables](uint16_t p) { return tables.y[p]; });

  // Each chroma sample averages the 2 x 2 output pixels it covers.
  uint8_t* uPlane = out + width * height;
  uint8_t* vPlane = uPlane + width * height / 4;
  const size_t chromaWidth = width / 2;
  const auto uv = [&tables](uint16_t p) { return tables.uv[p]; };
  int previousTop = -2, previousBottom = -2;
  for (size_t cy = 0; cy < height / 2; ++cy) {
    uint8_t* u = uPlane + cy * chromaWidth;
    uint8_t* v = vPlane + cy * chromaWidth;
    const int top = framing_.SourceRow(static_cast<int>(2 * cy));
    const int bottom = framing_.SourceRow(static_cast<int>(2 * cy + 1));
    if (top == previousTop && bottom == previousBottom) {
      std::memcpy(u, u - chromaWidth, chromaWidth);
      std::memcpy(v, v - chromaWidth, chromaWidth);
      continue;
    }
    PaintRow(framing_, pixels, top, uvTop_.data(), tables.uv[kBlack], uv);
    PaintRow(framing_, pixels, bottom, uvBottom_.data(), tables.uv[kBlack], uv);
    for (size_t cx = 0; cx < chromaWidth; ++cx) {
      const uint32_t sum = uvTop_[2 * cx] + uvTop_[2 * cx + 1] + uvBottom_[2 * cx] + uvBottom_[2 * cx + 1];
      u[cx] = static_cast<uint8_t>(((sum & 0xFFFF) + 8) >> 4);
      v[cx] = static_cast<uint8_t>(((sum >> 16) + 8) >> 4);
    }
    previousTop = top;
    previousBottom = bottom;
  }
}

}  // namespace capture
