# Installation: `cmake --install build --prefix PREFIX` puts
#   PREFIX/lib/norvale-discovery/   both programs and the language files, one
#                                   flat folder (the folder an update replaces)
#   PREFIX/bin/norvale-discovery    a launcher starting the program there
#   PREFIX/share/applications/norvale-discovery.desktop
#   PREFIX/share/icons/hicolor/256x256/apps/norvale-discovery.png
# The target update-archive writes build/Norvale.zip: the top-level files of
# that program folder, as an update of this build.
if(NOT TARGET norvale-discovery OR NOT TARGET norvale-autoupdate)
  return()
endif()

set(NORVALE_PROGRAM_DIR lib/norvale-discovery)
install(TARGETS norvale-discovery norvale-autoupdate RUNTIME DESTINATION ${NORVALE_PROGRAM_DIR})
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/ DESTINATION ${NORVALE_PROGRAM_DIR}
  FILES_MATCHING PATTERN "RES_*.rcc")
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/norvale-discovery.sh DESTINATION bin
  RENAME norvale-discovery)
install(FILES ${PROJECT_SOURCE_DIR}/resources/main/png/128.png
  DESTINATION share/icons/hicolor/256x256/apps RENAME norvale-discovery.png)
# The desktop entry names the program by its installed path.
install(CODE [[
  set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/norvale-discovery.desktop")
  file(WRITE "${entry}" "[Desktop Entry]
Type=Application
Name=Norvale Discovery
Comment=Find and manage Norvale NAS devices on the network
Exec=\"${CMAKE_INSTALL_PREFIX}/bin/norvale-discovery\"
Icon=norvale-discovery
Terminal=false
Categories=Network;Utility;
")
  message(STATUS "Installing: ${entry}")
]])

set(stage ${CMAKE_BINARY_DIR}/update-stage)
add_custom_target(update-archive
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${stage}
  COMMAND ${CMAKE_COMMAND} -DFOLDER=${stage}/${NORVALE_PROGRAM_DIR}
          -DARCHIVE=${CMAKE_BINARY_DIR}/Norvale.zip -P ${PROJECT_SOURCE_DIR}/cmake/MakeUpdateArchive.cmake
  DEPENDS norvale-discovery norvale-autoupdate norvale_languages
  COMMENT "Update archive ${CMAKE_BINARY_DIR}/Norvale.zip"
  VERBATIM)
