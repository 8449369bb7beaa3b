#include "FatalError.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/Host.h"

void endWithMessage(const std::string& message)
{
    std::cout << message << '\n';
    std::cout.flush();
    std::fflush(stdout);
    platform::reportFailedStart(platform::FailedStart::other, message.c_str());
    // _Exit, not exit: the destructors of half-made GL objects must not run against a
    // context that start-up could not finish, and nothing on disk needs closing.
    std::_Exit(-1);
}
