# The logic tests for the Windows build, the platform unit's Win32 side among them;
# tools/windows-check.sh runs them under Wine.
set(ORBELUNE_WINDOWS_TESTS CameraTest CommandLineTest ExposureTest FrustumTest HudTest MeshGeometryTest
  ObjectTest PhysicsWorldTest PlatformTest ShipControlTest SoundSynthTest)
foreach(name ${ORBELUNE_WINDOWS_TESTS})
  add_executable(${name} ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp)
  target_link_libraries(${name} PRIVATE orbelune_logic GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endforeach()
