# The operating-system layer, all chosen here: exactly one implementation of
# src/platform/Platform.h is built, one of src/platform/Host.h, and the HUD font's locator
# where the system has one. ORBELUNE_PLATFORM_GL_SOURCES go into the GL library: Fontconfig's
# font lookup is the POSIX side of the HUD font; Windows names its file directly and the
# browser build ships its own. FileSharing.cpp is what every system's file code shares.
set(ORBELUNE_PLATFORM_GL_SOURCES "")
list(APPEND ORBELUNE_LOGIC_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/FileSharing.cpp)
if(WIN32)
  list(APPEND ORBELUNE_LOGIC_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/PlatformWindows.cpp
    ${CMAKE_SOURCE_DIR}/src/platform/PlatformWindowsFiles.cpp ${CMAKE_SOURCE_DIR}/src/platform/PlatformWindowsText.cpp
    ${CMAKE_SOURCE_DIR}/src/platform/HostConsole.cpp)
elseif(EMSCRIPTEN)
  # The browser's file system is a POSIX one; only the font and the host differ.
  list(APPEND ORBELUNE_LOGIC_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/PlatformPosix.cpp
    ${CMAKE_SOURCE_DIR}/src/platform/PlatformPosixFiles.cpp ${CMAKE_SOURCE_DIR}/src/platform/PlatformWeb.cpp
    ${CMAKE_SOURCE_DIR}/src/platform/HostWeb.cpp)
else()
  list(APPEND ORBELUNE_LOGIC_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/PlatformPosix.cpp
    ${CMAKE_SOURCE_DIR}/src/platform/PlatformPosixFiles.cpp ${CMAKE_SOURCE_DIR}/src/platform/HostConsole.cpp)
  list(APPEND ORBELUNE_PLATFORM_GL_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/FontLocatorPosix.cpp)
endif()
