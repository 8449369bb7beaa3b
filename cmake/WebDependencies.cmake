# The libraries of the browser build, under the target names the Linux build gets from its
# packages. Emscripten brings GL (WebGL 2), GLFW and a GLEW stand-in of its own; FreeType
# and the rest come from the folders tools/web.sh hands in through CMAKE_PREFIX_PATH.

# GLEW and stb_image are C.
enable_language(C)

add_library(OpenGL::GL INTERFACE IMPORTED)
target_link_options(OpenGL::GL INTERFACE -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2)
add_library(glfw INTERFACE IMPORTED)
target_link_options(glfw INTERFACE -sUSE_GLFW=3)
add_library(GLEW::GLEW INTERFACE IMPORTED)

find_package(Freetype REQUIRED)

include(cmake/HeaderAndSourceDependencies.cmake)
