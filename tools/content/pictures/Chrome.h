// Chrome lettering with bevels, a dark outline and glints, shared by the logos and the title.
#pragma once
#include <string>
#include <vector>

#include "PictureKit.h"

namespace chrome {

struct Ramps {
  kit::Ramp sky;      // upper half of the reflection: deep blue up to white at the horizon
  kit::Ramp ground;   // lower half: dark earth at the horizon up to pale sand
  kit::Ramp outline;  // black to the outline's colour
  kit::Ramp glint;    // pale blue to white
};

Ramps AddRamps(kit::Image& image, int skySize, int groundSize, int outlineSize, int glintSize);

struct Style {
  float bevel = 6;      // bevel width in pixels
  float outline = 3;    // outline width in pixels
  float faceTop = 0;    // rows over which the face's reflection runs from sky to ground
  float faceBottom = 0;
};

// Paints the lettering given as coverage; returns the mask of painted (letter and outline) pixels.
std::vector<uint8_t> Paint(kit::Image& image, const std::vector<float>& coverage, const Ramps& ramps,
                           const Style& style);

// A four-pointed star glint centred at (cx, cy).
void Sparkle(kit::Image& image, const Ramps& ramps, float cx, float cy, float size);

}  // namespace chrome
