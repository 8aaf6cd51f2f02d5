// The show's eight pictures, each painted from scratch by one function.
#pragma once
#include <string>

#include "PictureKit.h"

kit::Image MakeLogo(const glyphs::Font& font, const std::string& word, uint32_t seed);
kit::Image MakeTitle(const glyphs::Font& font);
kit::Image MakeRotoTexture();
kit::Image MakeRotoFrame(const glyphs::Font& font);
kit::Image MakeWaterBackground();
kit::Image MakeWaterBall();
kit::Image MakeWaterLens();
