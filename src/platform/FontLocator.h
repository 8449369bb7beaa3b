// The HUD font where fontconfig knows the fonts (every system but Windows, which names its
// file directly).
#pragma once

#include <string>

// Path of Arial or a face with its metrics (Liberation Sans, Arimo); empty when there is
// none, for no other face is accepted in its place.
std::string findArialCompatibleFont();
