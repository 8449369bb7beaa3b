# The operating-system layer: exactly one implementation of src/platform/Platform.h is built.
if(WIN32)
  list(APPEND ORBELUNE_LOGIC_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/PlatformWindows.cpp
    ${CMAKE_SOURCE_DIR}/src/platform/PlatformWindowsFiles.cpp)
else()
  list(APPEND ORBELUNE_LOGIC_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/PlatformPosix.cpp
    ${CMAKE_SOURCE_DIR}/src/platform/PlatformPosixFiles.cpp)
endif()
