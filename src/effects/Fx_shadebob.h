// Scene 12: square bobs land at random places, 16 a frame; every pixel shows how often it was
// hit, under the caption "Souvenirs...".
#pragma once

void BobsStart();
bool BobsUpdate(int ticks);  // does nothing: the bobs land once per frame, not per tick
void BobsRender();
void BobsEnd();
