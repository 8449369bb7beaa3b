# The libraries on Windows, under the target names the Linux build gets from its packages,
# so that the game's own library lists are the same on both systems. Nothing here may name a
# Debian path: tools/windows.sh hands in its folders through CMAKE_PREFIX_PATH, a native
# build finds what its package manager installed.

set(ORBELUNE_GLEW_SOURCE_DIR "" CACHE PATH "GLEW's source tree (src/glew.c), compiled in statically; empty: find an installed GLEW")

# GLEW and stb_image are C.
enable_language(C)

find_package(OpenGL REQUIRED)
find_package(glfw3 3.3 REQUIRED)
find_package(Freetype REQUIRED)
# OpenAL Soft, a DLL beside the game; without it the game builds silent (SoundSources.cmake).
find_package(OpenAL)

if(ORBELUNE_GLEW_SOURCE_DIR)
  add_library(orbelune_glew STATIC ${ORBELUNE_GLEW_SOURCE_DIR}/src/glew.c)
  target_include_directories(orbelune_glew SYSTEM PUBLIC ${ORBELUNE_GLEW_SOURCE_DIR}/include)
  target_compile_definitions(orbelune_glew PUBLIC GLEW_STATIC)
  target_compile_options(orbelune_glew PRIVATE -w)
  target_link_libraries(orbelune_glew PUBLIC OpenGL::GL)
  add_library(GLEW::GLEW ALIAS orbelune_glew)
else()
  find_package(GLEW REQUIRED)
endif()

include(cmake/HeaderAndSourceDependencies.cmake)
