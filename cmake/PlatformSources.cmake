# The operating-system layer: exactly one implementation of src/platform/Platform.h is built,
# and one of src/platform/Host.h. FileSharing.cpp is what every system's file code shares.
list(APPEND ORBELUNE_LOGIC_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/FileSharing.cpp)
if(WIN32)
  list(APPEND ORBELUNE_LOGIC_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/PlatformWindows.cpp
    ${CMAKE_SOURCE_DIR}/src/platform/PlatformWindowsFiles.cpp ${CMAKE_SOURCE_DIR}/src/platform/HostConsole.cpp)
elseif(EMSCRIPTEN)
  # The browser's file system is a POSIX one; only the font and the host differ.
  list(APPEND ORBELUNE_LOGIC_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/PlatformPosix.cpp
    ${CMAKE_SOURCE_DIR}/src/platform/PlatformPosixFiles.cpp ${CMAKE_SOURCE_DIR}/src/platform/PlatformWeb.cpp
    ${CMAKE_SOURCE_DIR}/src/platform/HostWeb.cpp)
else()
  list(APPEND ORBELUNE_LOGIC_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/PlatformPosix.cpp
    ${CMAKE_SOURCE_DIR}/src/platform/PlatformPosixFiles.cpp ${CMAKE_SOURCE_DIR}/src/platform/HostConsole.cpp)
endif()
