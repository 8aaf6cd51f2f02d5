// Scenes 8, 9, 11 and 13: an 8-bit heat image smeared every frame towards one of eight directions,
// so that what is stamped into it streams away and fades, shown through a palette per row straight
// in the back surface.
#pragma once
#include <cstdint>

// mode 0: fire colours; 1: sea colours; anything else: fire at the top blending to sea at the bottom.
void FlowStart(int32_t mode);
// The bob back at the start of its path.
void FlowResetPath();

// Updates, each with the ticks elapsed. Only the words' result means something: true once every
// greeting word has been shown.
bool FlowUpdatePath(int ticks);       // bob along the path, one upward pass
bool FlowUpdatePathBands(int ticks);  // bob along the path, passes in turning bands
bool FlowUpdateRandom(int ticks);     // bob at a random place, bands
bool FlowUpdateWords(int ticks);      // a greeting word every 35 ticks, bands

void FlowRender();
void FlowEnd();

// The two heat images of 640 x 480 bytes (null when start could not allocate them): the updates
// stamp into the source and pass from it into the target, the render shows the target and swaps.
extern uint8_t* heatSource;
extern uint8_t* heatTarget;
extern int32_t flowDirection;  // 0 to 7: the updates' pass direction, or the bands' first
