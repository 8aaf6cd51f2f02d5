#include "app/Settings.h"

int32_t audioDriver = 0;
int32_t audioDevice = 0;
int32_t videoDevice = 0;
int32_t mixRate = 44100;
int32_t stereo = 1;
int32_t interpolation = 1;
bool windowed = false;
bool loopDemo = false;
