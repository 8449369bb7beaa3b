# The sound back end: OpenAL where the build has it, otherwise a silent stand-in with the
# same two entry points, so a build without the library still plays.
if(EMSCRIPTEN)
  # Emscripten's own OpenAL, on Web Audio; its headers come with the compiler.
  list(APPEND ORBELUNE_GL_SOURCES ${CMAKE_SOURCE_DIR}/src/audio/SoundPlayer.cpp
    ${CMAKE_SOURCE_DIR}/src/audio/FadingLoop.cpp)
  set(ORBELUNE_SOUND_LIBRARIES openal)
  set(ORBELUNE_SOUND_INCLUDE_DIR "")
elseif(OPENAL_FOUND)
  list(APPEND ORBELUNE_GL_SOURCES ${CMAKE_SOURCE_DIR}/src/audio/SoundPlayer.cpp
    ${CMAKE_SOURCE_DIR}/src/audio/FadingLoop.cpp)
  set(ORBELUNE_SOUND_LIBRARIES ${OPENAL_LIBRARY})
  # FindOpenAL names the AL folder itself; the sources include <AL/al.h> as the browser build needs.
  get_filename_component(ORBELUNE_SOUND_INCLUDE_DIR ${OPENAL_INCLUDE_DIR} DIRECTORY)
else()
  list(APPEND ORBELUNE_GL_SOURCES ${CMAKE_SOURCE_DIR}/src/audio/SilentSoundPlayer.cpp)
  set(ORBELUNE_SOUND_LIBRARIES "")
  set(ORBELUNE_SOUND_INCLUDE_DIR "")
endif()
