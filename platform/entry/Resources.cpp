// The program's resources (its .rc compiled by windres into a resource file), carried as data
// where the platform's dialog manager and icons look for them.
#include "assets/EmbeddedFile.h"

__asm__(EMBEDDED_FILE(vemoraResources, VEMORA_RESOURCE_FILE));
