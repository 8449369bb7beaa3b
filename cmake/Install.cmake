# Installing the game the way Debian lays out games, and packaging it with CPack.
# The game reads ./shaders and ./assets from its working directory, so the installed data is
# read-only and the launcher in games/ runs the program from a per-user directory.

# The icon, rendered from the generated planet picture; no image is kept in the sources.
add_library(orbelune_iconpainter STATIC ${CMAKE_SOURCE_DIR}/tools/IconPainter.cpp)
target_include_directories(orbelune_iconpainter PUBLIC ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(orbelune_iconpainter PUBLIC glm::glm)
if(TARGET IconPainterTest)
  target_link_libraries(IconPainterTest PRIVATE orbelune_iconpainter)
endif()

# The layout below is the Debian one; other systems (and the browser) are not packaged from here.
if(WIN32 OR EMSCRIPTEN)
  return()
endif()
include(GNUInstallDirs)

set(ORBELUNE_INSTALL_GAMESDIR games)
set(ORBELUNE_INSTALL_PROGRAMDIR lib/games/orbelune)
set(ORBELUNE_INSTALL_DATADIR ${CMAKE_INSTALL_DATAROOTDIR}/games/orbelune)
set(ORBELUNE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/orbelune)
set(ORBELUNE_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The usual hicolor sizes, rendered again whenever the generator of the planet picture changes.
add_executable(orbelune_icons ${CMAKE_SOURCE_DIR}/tools/IconTool.cpp)
target_link_libraries(orbelune_icons PRIVATE orbelune_iconpainter PkgConfig::STB)
set(ORBELUNE_ICON_DIR ${ORBELUNE_PACKAGING_DIR}/icons)
set(ORBELUNE_ICON_STAMP ${ORBELUNE_ICON_DIR}/.rendered)
add_custom_command(OUTPUT ${ORBELUNE_ICON_STAMP}
  COMMAND orbelune_icons ${ORBELUNE_RUN_DIR}/assets/Earth.jpg ${ORBELUNE_ICON_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${ORBELUNE_ICON_STAMP}
  DEPENDS orbelune_icons orbelune_assetgen
  COMMENT "Rendering the application icon")
add_custom_target(orbelune_icon ALL DEPENDS ${ORBELUNE_ICON_STAMP})
# By target, not by the asset stamp: a second target naming that output would let make run
# the generator twice at once.
add_dependencies(orbelune_icon orbelune_assets)

# The launcher reaches the program and the data by paths relative to its own folder.
file(RELATIVE_PATH ORBELUNE_LAUNCHER_TO_BINARY /${ORBELUNE_INSTALL_GAMESDIR}
  /${ORBELUNE_INSTALL_PROGRAMDIR}/orbelune)
file(RELATIVE_PATH ORBELUNE_LAUNCHER_TO_DATA /${ORBELUNE_INSTALL_GAMESDIR} /${ORBELUNE_INSTALL_DATADIR})
configure_file(${CMAKE_SOURCE_DIR}/packaging/orbelune.in ${ORBELUNE_PACKAGING_DIR}/orbelune @ONLY)
# What software centres list; its release follows the project version.
set(ORBELUNE_METAINFO org.example.orbelune.metainfo.xml)
configure_file(${CMAKE_SOURCE_DIR}/packaging/${ORBELUNE_METAINFO}.in
  ${ORBELUNE_PACKAGING_DIR}/${ORBELUNE_METAINFO} @ONLY)

# Debian keeps manual pages and changelogs gzipped; -n leaves out the time stamp.
find_program(ORBELUNE_GZIP gzip REQUIRED)
foreach(document orbelune.6 changelog)
  set(source ${ORBELUNE_PACKAGING_DIR}/${document})
  configure_file(${CMAKE_SOURCE_DIR}/packaging/${document}.in ${source} @ONLY)
  add_custom_command(OUTPUT ${ORBELUNE_PACKAGING_DIR}/${document}.gz
    COMMAND ${ORBELUNE_GZIP} -9 -n -c ${source} > ${ORBELUNE_PACKAGING_DIR}/${document}.gz
    DEPENDS ${source}
    COMMENT "Compressing ${document}")
  list(APPEND ORBELUNE_COMPRESSED_DOCUMENTS ${ORBELUNE_PACKAGING_DIR}/${document}.gz)
endforeach()
add_custom_target(orbelune_documents ALL DEPENDS ${ORBELUNE_COMPRESSED_DOCUMENTS})

install(PROGRAMS ${ORBELUNE_PACKAGING_DIR}/orbelune DESTINATION ${ORBELUNE_INSTALL_GAMESDIR})
install(TARGETS orbelune RUNTIME DESTINATION ${ORBELUNE_INSTALL_PROGRAMDIR})
# A stripped package drops the compiler's .comment and .note sections too, as Debian's own
# strip does.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${ORBELUNE_INSTALL_PROGRAMDIR}/orbelune\"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()")
install(DIRECTORY ${CMAKE_SOURCE_DIR}/shaders/ DESTINATION ${ORBELUNE_INSTALL_DATADIR}/shaders)
# Only the generated data: a scores.txt left in the run directory by a game is not shipped.
install(DIRECTORY ${ORBELUNE_RUN_DIR}/assets/ DESTINATION ${ORBELUNE_INSTALL_DATADIR}/assets
  FILES_MATCHING PATTERN "*.obj" PATTERN "*.mtl" PATTERN "*.png" PATTERN "*.jpg")
install(FILES ${CMAKE_SOURCE_DIR}/packaging/orbelune.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${ORBELUNE_PACKAGING_DIR}/${ORBELUNE_METAINFO} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(DIRECTORY ${ORBELUNE_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor
  FILES_MATCHING PATTERN "*.png")
install(FILES ${ORBELUNE_PACKAGING_DIR}/orbelune.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${ORBELUNE_PACKAGING_DIR}/changelog.gz
  DESTINATION ${ORBELUNE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orbelune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fly through an asteroid stream to the Earth")
set(CPACK_PACKAGE_DESCRIPTION "Orbelune is a single-player 3D space game. You fly a ship towards the
Earth through a stream of asteroids and pick up golden fuel stars on the
way. Reach the planet and your remaining fuel is your score; the best
scores are kept in a table.
.
It needs an OpenGL 3.3 graphics driver.")
set(CPACK_PACKAGE_CONTACT "Orbelune developers <orbelune@example.org>")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the binary; the font is opened at run time, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-liberation)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
