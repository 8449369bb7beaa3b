// UTF-8 to and from UTF-16 for the wide Win32 calls: one conversion for every Windows
// platform unit. Invalid UTF-8 becomes U+FFFD instead of failing.
#pragma once

#include <string>

namespace platform::windows {

std::wstring wide(const std::string& text);
std::string narrow(const std::wstring& text);

} // namespace platform::windows
