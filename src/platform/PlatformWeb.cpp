// The browser's share of Platform.h beyond the POSIX file operations (which Emscripten's
// file system provides, PlatformPosix.cpp): the HUD font, which no browser lets a page read
// from the system, so it ships in the site's bundle beside its licence.
#include "platform/Platform.h"

namespace platform {

std::string hudFontPath()
{
    return dataPath("fonts/LiberationSans-Regular.ttf");
}

} // namespace platform
