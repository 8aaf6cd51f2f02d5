// Two black bars closing the screen from the top and bottom edges.
#pragma once

void CloseStart();
bool CloseUpdate(int ticks);  // never finishes by itself: the music ends the scene
void CloseRender();
