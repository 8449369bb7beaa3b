// The desktop's side of Host.h: a console on standard input and output, and a plain loop.
#include "platform/Host.h"

#include <cstdio>
#include <iostream>
#include <utility>

namespace platform {

void openConsole()
{
    // A launcher or a log reading through a pipe must see each line when it happens.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
}

std::istream& nameInput()
{
    return std::cin;
}

bool nameReady()
{
    return true;
}

void runFrameLoop(std::function<bool()> pass, std::function<void()> atEnd, std::function<void(bool)> /*hidden*/)
{
    while (pass()) {
    }
    atEnd();
}

void announcePlay(bool /*soundOn*/, bool /*picturesComplete*/) {}

void reportFailedStart(FailedStart /*why*/, const char* /*what*/) {}

} // namespace platform
