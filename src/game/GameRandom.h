// The game's one source of chance: the standard generator, never seeded, cut to 15 bits.
#pragma once

// The next rand() value cut to 0..32767, the range every random rule is written for.
// NOTE: glibc's RAND_MAX is 2^31 - 1, so a bare rand() / 32767.0 reaches 65538; keeping the
// low 15 bits leaves the sequence unchanged wherever RAND_MAX is already 32767.
int gameRandom();
// gameRandom() / 32767.0: a fraction in 0..1 inclusive.
float gameRandomFraction();
