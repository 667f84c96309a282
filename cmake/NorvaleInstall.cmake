# Installation. With NORVALE_VERSIONED_INSTALL (the default, and what
# self-update needs) `cmake --install build --prefix PREFIX` puts
#   PREFIX/lib/norvale-discovery/<version>/   this release: the programs and
#                                             the language files, one flat folder
#   PREFIX/lib/norvale-discovery/current      symlink to the release that runs
#   PREFIX/lib/norvale-discovery/previous     symlink to the one before (if any)
#   PREFIX/bin/norvale-discovery, norvale-shares
#                                             launchers starting current/<program>
# An update adds a release folder beside the others and switches "current"
# (updater/VersionedInstall.h); installing switches it the same way
# (cmake/SwitchRelease.cmake). Without NORVALE_SELF_UPDATE the updater is
# not installed.
# Without NORVALE_VERSIONED_INSTALL (packages: the package manager replaces
# the files) the programs and language files go straight into
# PREFIX/lib/norvale-discovery/, and PREFIX/bin holds relative symlinks to
# the programs (which find their language files beside their real path).
# Both layouts add under PREFIX/share the desktop entry, the AppStream
# metainfo, the icons (hicolor 48 to 256), the manual pages and, in
# doc/norvale-discovery, the copyright and changelog.
# The target update-archive writes build/Norvale.zip: the files of this
# release's folder, as an update; with NORVALE_UPDATE_SECRET_KEY (a minisign
# secret key file without password) it is signed (build/Norvale.zip.minisig)
# by norvale-update-pack, which the updater requires. The target deb writes
# build/norvale-discovery_<version>_<arch>.deb (cmake/NorvalePackage.cmake).
if(NOT TARGET norvale-discovery OR NOT TARGET norvale-shares)
  return()
endif()
if(NORVALE_SELF_UPDATE AND NOT NORVALE_VERSIONED_INSTALL)
  message(FATAL_ERROR "NORVALE_SELF_UPDATE needs NORVALE_VERSIONED_INSTALL: an update switches release folders")
endif()

set(NORVALE_INSTALL_ROOT lib/norvale-discovery)
set(programs norvale-discovery norvale-shares)
if(NORVALE_SELF_UPDATE)
  list(APPEND programs norvale-autoupdate)
endif()
if(NORVALE_VERSIONED_INSTALL)
  set(NORVALE_PROGRAM_DIR ${NORVALE_INSTALL_ROOT}/${PROJECT_VERSION})
else()
  set(NORVALE_PROGRAM_DIR ${NORVALE_INSTALL_ROOT})
endif()
install(TARGETS ${programs} RUNTIME DESTINATION ${NORVALE_PROGRAM_DIR})
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/ DESTINATION ${NORVALE_PROGRAM_DIR}
  FILES_MATCHING PATTERN "RES_*.rcc")

foreach(program IN ITEMS norvale-discovery norvale-shares)
  if(NORVALE_VERSIONED_INSTALL)
    set(PROGRAM ${program})
    configure_file(${PROJECT_SOURCE_DIR}/packaging/launcher.sh.in
      ${CMAKE_BINARY_DIR}/launchers/${program} @ONLY)
    install(PROGRAMS ${CMAKE_BINARY_DIR}/launchers/${program} DESTINATION bin)
  else()
    install(CODE "
      set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${program}\")
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
      file(REMOVE \"\${link}\")
      file(CREATE_LINK ../${NORVALE_INSTALL_ROOT}/${program} \"\${link}\" SYMBOLIC)
      message(STATUS \"Installing: \${link} -> ../${NORVALE_INSTALL_ROOT}/${program}\")")
  endif()
endforeach()
if(NORVALE_VERSIONED_INSTALL)
  install(CODE "execute_process(COMMAND \"${CMAKE_COMMAND}\"
      \"-DROOT=\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${NORVALE_INSTALL_ROOT}\"
      -DRELEASE=${PROJECT_VERSION} -P \"${PROJECT_SOURCE_DIR}/cmake/SwitchRelease.cmake\"
      COMMAND_ERROR_IS_FATAL ANY)")
endif()

# Desktop integration and documentation.
set(NORVALE_APPSTREAM_ID com.norvale_discovery.NorvaleDiscovery)
foreach(size IN ITEMS 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/apps/norvale-discovery.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
string(TIMESTAMP NORVALE_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP NORVALE_RELEASE_TIME "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/norvale-discovery.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/packaging/${NORVALE_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${NORVALE_APPSTREAM_ID}.metainfo.xml
  DESTINATION share/metainfo)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in
  ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
set(docs)
foreach(page IN ITEMS norvale-discovery.1 norvale-shares.1)
  list(APPEND docs ${CMAKE_BINARY_DIR}/packaging/${page}.gz)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/${page}.gz
    COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/man/${page} > ${CMAKE_BINARY_DIR}/packaging/${page}.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/man/${page})
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${page}.gz DESTINATION share/man/man1)
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog)
add_custom_target(norvale_docs ALL DEPENDS ${docs} ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DESTINATION share/doc/norvale-discovery)
# The desktop entry names the program by its installed path.
install(CODE [[
  set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/norvale-discovery.desktop")
  file(WRITE "${entry}" "[Desktop Entry]
Type=Application
Name=Norvale Discovery
GenericName=NAS Finder
Comment=Find and manage Norvale NAS devices on the network
Exec=\"${CMAKE_INSTALL_PREFIX}/bin/norvale-discovery\"
Icon=norvale-discovery
Terminal=false
Categories=Network;
Keywords=NAS;UPnP;network drive;share;SMB;
")
  message(STATUS "Installing: ${entry}")
]])

set(NORVALE_UPDATE_SECRET_KEY "" CACHE FILEPATH
    "minisign secret key (no password) that signs build/Norvale.zip; empty: the archive is not signed")
if(NORVALE_SELF_UPDATE)
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
    DEPENDS norvale-discovery norvale-shares norvale-autoupdate norvale_languages norvale_docs
            ${pack_depends}
    COMMENT "Update archive ${CMAKE_BINARY_DIR}/Norvale.zip"
    VERBATIM)
endif()

include(${PROJECT_SOURCE_DIR}/cmake/NorvalePackage.cmake)
