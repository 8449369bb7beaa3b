# The operating-system layer: exactly one implementation of src/platform/Platform.h is built.
# Fontconfig's font lookup is the POSIX side of the HUD font; Windows names its file directly.
if(WIN32)
  list(APPEND ORBELUNE_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/PlatformWindows.cpp)
  list(REMOVE_ITEM ORBELUNE_SOURCES ${CMAKE_SOURCE_DIR}/src/FontLocator.cpp)
else()
  list(APPEND ORBELUNE_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/PlatformPosix.cpp)
endif()
