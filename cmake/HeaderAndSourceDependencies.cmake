# GLM, stb_image, tinyobjloader and Bullet where no package manager provides them as the
# Linux build finds them (the Windows and web builds): found as files under the folders the
# build scripts hand in through CMAKE_PREFIX_PATH, under the Linux build's target names.

find_path(ORBELUNE_GLM_INCLUDE glm/glm.hpp REQUIRED)
find_path(ORBELUNE_STB_INCLUDE stb_image.h PATH_SUFFIXES stb REQUIRED)
find_path(ORBELUNE_TINYOBJ_INCLUDE tiny_obj_loader.h REQUIRED)

add_library(glm::glm INTERFACE IMPORTED)
target_include_directories(glm::glm SYSTEM INTERFACE ${ORBELUNE_GLM_INCLUDE})

# stb_image and tinyobjloader carry their implementation in the header; one file each
# compiles it, as the Linux packages' shared libraries do. Written only when they change, so
# that configuring again rebuilds nothing.
set(ORBELUNE_SINGLE_HEADER_DIR ${CMAKE_BINARY_DIR}/single-header)
file(CONFIGURE OUTPUT ${ORBELUNE_SINGLE_HEADER_DIR}/stb_image.c
  CONTENT "#define STB_IMAGE_IMPLEMENTATION\n#include <stb_image.h>\n" @ONLY)
file(CONFIGURE OUTPUT ${ORBELUNE_SINGLE_HEADER_DIR}/tiny_obj_loader.cc
  CONTENT "#define TINYOBJLOADER_IMPLEMENTATION\n#include <tiny_obj_loader.h>\n" @ONLY)

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
