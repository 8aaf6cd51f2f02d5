// The program's one random generator: same sequence on every platform for a given seed.
#pragma once

void SeedRandom(unsigned seed);
// 0 .. 2^31 - 1.
int Random();
