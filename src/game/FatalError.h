// The one way the game ends on a failure it cannot go on from (a shader, a model, the font).
#pragma once

#include <string>

// Prints `message` as a line on standard output, flushes it and ends with status -1 (255).
[[noreturn]] void endWithMessage(const std::string& message);
