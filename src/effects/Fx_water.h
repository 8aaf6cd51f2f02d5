// Scene 10: the key-coloured disc of a background picture becomes a pool of water that smooths
// itself in place every frame; two balls melt into it and two lenses leave trails on it, circling
// on a swinging diameter. Only the disc is copied into the back surface each frame.
#pragma once
#include <cstdint>

void WaterStart();
bool WaterUpdate(int ticks);  // does nothing: the water moves once per frame, not per tick
void WaterRender();
void WaterEnd();

// 0 to 359, one step a frame; not reset at start, so each visit goes on where the last one stopped.
extern int32_t waterAngle;

// The water's runs found in a 640 x 480 background of display colours, as the start does with its
// picture; returns how many there are (at most 960).
int32_t BuildWaterRuns(const uint16_t* background);
