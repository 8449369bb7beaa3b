# Tests for the Windows build: the logic that needs no window and no POSIX call, plus the
# platform unit that replaces POSIX there. tools/windows-check.sh runs them under Wine.
find_package(GTest REQUIRED)

foreach(name CameraTest CommandLineTest FrustumTest PhysicsWorldTest PlatformTest)
  add_executable(${name} ${CMAKE_SOURCE_DIR}/tests/${name}.cpp)
  target_link_libraries(${name} PRIVATE orbelune_core GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endforeach()
