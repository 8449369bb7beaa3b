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

find_path(ORBELUNE_GLM_INCLUDE glm/glm.hpp REQUIRED)
find_path(ORBELUNE_STB_INCLUDE stb_image.h PATH_SUFFIXES stb REQUIRED)
find_path(ORBELUNE_TINYOBJ_INCLUDE tiny_obj_loader.h REQUIRED)

add_library(glm::glm INTERFACE IMPORTED)
target_include_directories(glm::glm SYSTEM INTERFACE ${ORBELUNE_GLM_INCLUDE})

# stb_image and tinyobjloader carry their implementation in the header; one file each
# compiles it, as the Linux packages' shared libraries do.
set(ORBELUNE_SINGLE_HEADER_DIR ${CMAKE_BINARY_DIR}/single-header)
file(WRITE ${ORBELUNE_SINGLE_HEADER_DIR}/stb_image.c
  "#define STB_IMAGE_IMPLEMENTATION\n#include <stb_image.h>\n")
file(WRITE ${ORBELUNE_SINGLE_HEADER_DIR}/tiny_obj_loader.cc
  "#define TINYOBJLOADER_IMPLEMENTATION\n#include <tiny_obj_loader.h>\n")

add_library(orbelune_stb STATIC ${ORBELUNE_SINGLE_HEADER_DIR}/stb_image.c)
target_include_directories(orbelune_stb SYSTEM PUBLIC ${ORBELUNE_STB_INCLUDE})
target_compile_options(orbelune_stb PRIVATE -w)
add_library(PkgConfig::STB ALIAS orbelune_stb)

add_library(orbelune_tinyobjloader STATIC ${ORBELUNE_SINGLE_HEADER_DIR}/tiny_obj_loader.cc)
target_include_directories(orbelune_tinyobjloader SYSTEM PUBLIC ${ORBELUNE_TINYOBJ_INCLUDE})
target_compile_options(orbelune_tinyobjloader PRIVATE -w)
add_library(tinyobjloader::tinyobjloader ALIAS orbelune_tinyobjloader)

# Only the parts of Bullet the game uses, found as files: Bullet's own package file differs
# between its build systems and hands out variables rather than a target.
find_path(ORBELUNE_BULLET_INCLUDE btBulletDynamicsCommon.h PATH_SUFFIXES bullet REQUIRED)
add_library(orbelune_bullet INTERFACE)
target_include_directories(orbelune_bullet SYSTEM INTERFACE ${ORBELUNE_BULLET_INCLUDE})
foreach(part BulletDynamics BulletCollision LinearMath)
  find_library(ORBELUNE_${part}_LIBRARY ${part} REQUIRED)
  target_link_libraries(orbelune_bullet INTERFACE ${ORBELUNE_${part}_LIBRARY})
endforeach()
add_library(PkgConfig::BULLET ALIAS orbelune_bullet)
