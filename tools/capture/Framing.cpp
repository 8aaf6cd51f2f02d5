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

// Draws every output row of one plane, rows `stride` bytes apart: `drawRow` fills the picture part
// of a row from a row of the show; the bars take `bar`. Rows that repeat a show row are copied.
template <class Element, class DrawRow>
void PaintPlane(const Framing& f, uint8_t* out, size_t stride, Element bar, DrawRow drawRow) {
  static_assert(alignof(Element) == 1);
  const int pictureWidth = kShowWidth * f.scale;
  const Element* previous = nullptr;
  int previousSource = -1;
  for (int y = 0; y < f.height; ++y) {
    auto* row = reinterpret_cast<Element*>(out + y * stride);
    const int source = f.SourceRow(y);
    if (source >= 0 && source == previousSource) {
      std::memcpy(row, previous, f.width * sizeof(Element));
      continue;
    }
    if (source < 0) {
      std::fill(row, row + f.width, bar);
      continue;
    }
    std::fill(row, row + f.left(), bar);
    drawRow(source, row + f.left());
    std::fill(row + f.left() + pictureWidth, row + f.width, bar);
    previous = row;
    previousSource = source;
  }
}

struct Rgb {
  uint8_t r, g, b;
};
static_assert(sizeof(Rgb) == 3);

}  // namespace

FramePainter::FramePainter(const Framing& framing) : framing_(framing), columns_(framing.width) {
  for (int x = 0; x < framing.width; ++x) columns_[x] = framing.SourceColumn(x);
}

void FramePainter::ToRgb(const uint16_t* pixels, bool overlay, uint8_t* out, size_t stride) const {
  const ColourTables& tables = TablesFor(overlay);
  const auto* colours = reinterpret_cast<const Rgb*>(tables.rgb.data());
  const int scale = framing_.scale;
  PaintPlane(framing_, out, stride, colours[kBlack], [&](int source, Rgb* at) {
    const uint16_t* row = pixels + source * kShowWidth;
    for (int x = 0; x < kShowWidth; ++x, at += scale) std::fill(at, at + scale, colours[row[x]]);
  });
}

void FramePainter::ToYuv420(const uint16_t* pixels, bool overlay, uint8_t* out) const {
  const ColourTables& tables = TablesFor(overlay);
  const int scale = framing_.scale;
  const size_t width = framing_.width, height = framing_.height;
  PaintPlane(framing_, out, width, tables.y[kBlack], [&](int source, uint8_t* at) {
    const uint16_t* row = pixels + source * kShowWidth;
    for (int x = 0; x < kShowWidth; ++x, at += scale) std::memset(at, tables.y[row[x]], scale);
  });

  // Each chroma sample averages the 2 x 2 output pixels it covers.
  uint8_t* uPlane = out + width * height;
  uint8_t* vPlane = uPlane + width * height / 4;
  const size_t chromaWidth = width / 2;
  auto uvAt = [&](int sourceRow, int sourceColumn) {
    return sourceRow < 0 || sourceColumn < 0 ? tables.uv[kBlack]
                                             : tables.uv[pixels[sourceRow * kShowWidth + sourceColumn]];
  };
  int previousTop = -2, previousBottom = -2;
  for (size_t cy = 0; cy < height / 2; ++cy) {
    uint8_t* u = uPlane + cy * chromaWidth;
    uint8_t* v = vPlane + cy * chromaWidth;
    const int top = framing_.SourceRow(static_cast<int>(2 * cy)), bottom = framing_.SourceRow(static_cast<int>(2 * cy + 1));
    if (top == previousTop && bottom == previousBottom) {
      std::memcpy(u, u - chromaWidth, chromaWidth);
      std::memcpy(v, v - chromaWidth, chromaWidth);
      continue;
    }
    previousTop = top;
    previousBottom = bottom;
    for (size_t cx = 0; cx < chromaWidth; ++cx) {
      const int left = columns_[2 * cx], right = columns_[2 * cx + 1];
      const uint32_t sum = uvAt(top, left) + uvAt(top, right) + uvAt(bottom, left) + uvAt(bottom, right);
      u[cx] = static_cast<uint8_t>(((sum & 0xFFFF) + 8) >> 4);
      v[cx] = static_cast<uint8_t>(((sum >> 16) + 8) >> 4);
    }
  }
}

}  // namespace capture
