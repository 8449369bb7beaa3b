# The browser build's game: orbelune.js and orbelune.wasm, the data bundle orbelune.data
# (shaders, the generated models and images, the HUD font and its licence) and the page, all
# in the run directory, which tools/web.sh copies as the site.

set(ORBELUNE_WEB_ASSETS_DIR "" CACHE PATH "The generated models and images (a Linux build's run/assets)")
set(ORBELUNE_WEB_FONT "" CACHE FILEPATH "Liberation Sans Regular, the HUD font the site ships")
set(ORBELUNE_WEB_FONT_LICENCE "" CACHE FILEPATH "The licence of that font")
if(NOT ORBELUNE_WEB_ASSETS_DIR OR NOT ORBELUNE_WEB_FONT OR NOT ORBELUNE_WEB_FONT_LICENCE)
  message(FATAL_ERROR "The browser build needs ORBELUNE_WEB_ASSETS_DIR, ORBELUNE_WEB_FONT and ORBELUNE_WEB_FONT_LICENCE (tools/web.sh sets them)")
endif()

set(ORBELUNE_WEB_DIR ${CMAKE_SOURCE_DIR}/src/platform/web)
# SHELL: keeps each option with its value: CMake drops repeated options otherwise.
target_link_options(orbelune PRIVATE
  -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web -sFORCE_FILESYSTEM=1
  "-sEXPORTED_RUNTIME_METHODS=['ccall','FS']"
  "SHELL:--js-library ${ORBELUNE_WEB_DIR}/library.js" "SHELL:--pre-js ${ORBELUNE_WEB_DIR}/files.js"
  "SHELL:--preload-file ${CMAKE_SOURCE_DIR}/shaders@/shaders"
  "SHELL:--preload-file ${ORBELUNE_WEB_ASSETS_DIR}@/assets"
  # The score file lives in the browser's storage; the generator's stamp is no data.
  "SHELL:--exclude-file scores.txt" "SHELL:--exclude-file .generated"
  "SHELL:--preload-file ${ORBELUNE_WEB_FONT}@/fonts/LiberationSans-Regular.ttf"
  "SHELL:--preload-file ${ORBELUNE_WEB_FONT_LICENCE}@/fonts/LICENCE-LiberationSans.txt")
set_property(TARGET orbelune APPEND PROPERTY LINK_DEPENDS
  ${ORBELUNE_WEB_DIR}/library.js ${ORBELUNE_WEB_DIR}/files.js)

add_custom_command(TARGET orbelune POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${ORBELUNE_WEB_FONT_LICENCE} ${ORBELUNE_RUN_DIR}/LICENCE-LiberationSans.txt)
# Copied whenever they change: a change to the page alone links nothing again.
add_custom_command(OUTPUT ${ORBELUNE_RUN_DIR}/index.html ${ORBELUNE_RUN_DIR}/page.js
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ORBELUNE_RUN_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${ORBELUNE_WEB_DIR}/index.html ${ORBELUNE_WEB_DIR}/page.js ${ORBELUNE_RUN_DIR}
  DEPENDS ${ORBELUNE_WEB_DIR}/index.html ${ORBELUNE_WEB_DIR}/page.js)
add_custom_target(orbelune_page ALL DEPENDS ${ORBELUNE_RUN_DIR}/index.html ${ORBELUNE_RUN_DIR}/page.js)
