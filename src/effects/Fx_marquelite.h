// The title picture revealed by two diagonal wedges growing from the right and left edges.
#pragma once

void TitleStart();
bool TitleUpdate(int ticks);  // never finishes by itself: the music ends the scene
void TitleRender();
void TitleEnd();
