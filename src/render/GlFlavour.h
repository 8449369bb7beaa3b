// The GL the renderer is built for: OpenGL 3.3 core on the desktop, or OpenGL ES 3.0 where
// the game runs as WebGL 2 in a browser tab. The calls are the same; the few places where ES
// refuses what the desktop accepts ask `openGlEs` and take the way both understand.
#pragma once

#include <string>

#ifdef __EMSCRIPTEN__
constexpr bool openGlEs = true;
#else
constexpr bool openGlEs = false;
#endif

// `source` with its "#version" line made right for the GL in use. The shader files are
// written once, for "#version 330 core"; ES wants "#version 300 es" and a default precision
// for floats, integers and samplers, or fragment shaders do not compile. Without ES, or when
// the first line is not a version line, `source` comes back as it is.
std::string glslForGl(const std::string& source, bool es = openGlEs);
