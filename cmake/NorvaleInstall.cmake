# Installation: `cmake --install build --prefix PREFIX` puts
#   PREFIX/lib/norvale-discovery/<version>/   this release: both programs and
#                                             the language files, one flat folder
#   PREFIX/lib/norvale-discovery/current      symlink to the release that runs
#   PREFIX/lib/norvale-discovery/previous     symlink to the one before (if any)
#   PREFIX/bin/norvale-discovery              a launcher starting current/norvale-discovery
#   PREFIX/share/applications/norvale-discovery.desktop
#   PREFIX/share/icons/hicolor/256x256/apps/norvale-discovery.png
# An update adds a release folder beside the others and switches "current"
# (updater/VersionedInstall.h); installing switches it the same way
# (cmake/SwitchRelease.cmake). Without NORVALE_SELF_UPDATE the updater is
# not installed.
# The target update-archive writes build/Norvale.zip: the files of this
# release's folder, as an update; with NORVALE_UPDATE_SECRET_KEY (a minisign
# secret key file without password) it is signed (build/Norvale.zip.minisig)
# by norvale-update-pack, which the updater requires.
if(NOT TARGET norvale-discovery OR NOT TARGET norvale-autoupdate)
  return()
endif()

set(NORVALE_INSTALL_ROOT lib/norvale-discovery)
set(NORVALE_PROGRAM_DIR ${NORVALE_INSTALL_ROOT}/${PROJECT_VERSION})
set(programs norvale-discovery)
if(NORVALE_SELF_UPDATE)
  list(APPEND programs norvale-autoupdate)
endif()
install(TARGETS ${programs} RUNTIME DESTINATION ${NORVALE_PROGRAM_DIR})
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/ DESTINATION ${NORVALE_PROGRAM_DIR}
  FILES_MATCHING PATTERN "RES_*.rcc")
install(CODE "execute_process(COMMAND \"${CMAKE_COMMAND}\"
    \"-DROOT=\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${NORVALE_INSTALL_ROOT}\"
    -DRELEASE=${PROJECT_VERSION} -P \"${PROJECT_SOURCE_DIR}/cmake/SwitchRelease.cmake\"
    COMMAND_ERROR_IS_FATAL ANY)")
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

set(NORVALE_UPDATE_SECRET_KEY "" CACHE FILEPATH
    "minisign secret key (no password) that signs build/Norvale.zip; empty: the archive is not signed")
set(stage ${CMAKE_BINARY_DIR}/update-stage)
set(pack_depends)
if(TARGET norvale-update-pack)
  set(pack_depends norvale-update-pack)
endif()
add_custom_target(update-archive
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${stage}
  COMMAND ${CMAKE_COMMAND} -DFOLDER=${stage}/${NORVALE_PROGRAM_DIR}
          -DARCHIVE=${CMAKE_BINARY_DIR}/Norvale.zip -DVERSION=${PROJECT_VERSION}
          -DKEY=${NORVALE_UPDATE_SECRET_KEY} -DPACK=$<TARGET_FILE:norvale-update-pack>
          -P ${PROJECT_SOURCE_DIR}/cmake/MakeUpdateArchive.cmake
  DEPENDS norvale-discovery norvale-autoupdate norvale_languages ${pack_depends}
  COMMENT "Update archive ${CMAKE_BINARY_DIR}/Norvale.zip"
  VERBATIM)
