#include "GameRandom.h"

#include <cstdlib>

int gameRandom()
{
    return std::rand() & 0x7FFF;
}

float gameRandomFraction()
{
    return static_cast<float>(gameRandom() / 32767.0);
}
