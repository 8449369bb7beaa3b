# The logic tests of the browser build, run by Node: the same sources, compiled to
# WebAssembly by Emscripten, on its in-memory file system. One program for all of them:
# each link of a WebAssembly program takes half a minute.
set(ORBELUNE_WEB_TESTS CameraTest CommandLineTest ExposureTest FrustumTest HudTest MeshGeometryTest
  ObjectTest PhysicsWorldTest ShipControlTest SoundSynthTest)
list(TRANSFORM ORBELUNE_WEB_TESTS APPEND .cpp OUTPUT_VARIABLE ORBELUNE_WEB_TEST_SOURCES)
add_executable(WebLogicTests ${ORBELUNE_WEB_TEST_SOURCES})
target_link_libraries(WebLogicTests PRIVATE orbelune_logic GTest::gtest_main)
target_link_options(WebLogicTests PRIVATE -sENVIRONMENT=node -sALLOW_MEMORY_GROWTH=1)
find_program(ORBELUNE_NODE node REQUIRED)
# Node's fetch would take the .wasm beside the program for a web address.
add_test(NAME WebLogicTests COMMAND ${ORBELUNE_NODE} --no-experimental-fetch $<TARGET_FILE:WebLogicTests>)
