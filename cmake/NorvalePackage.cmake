# The Debian package, made by CPack's DEB generator from the install rules
# (cmake/NorvaleInstall.cmake), so the package holds exactly what
# `cmake --install` puts under /usr; dpkg-shlibdeps computes the library
# dependencies.
#
#   cmake --build build --target deb   -> build/norvale-discovery_<version>_<arch>.deb
#
# The package is its own build in build/deb: Release, self-update off (the
# package manager updates it), the flat layout, Debian's flags with all
# hardening (dpkg-buildflags), programs stripped. Within that build, CPackConfig.cmake
# describes the package; the deb target builds the programs there and runs
# cpack.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvale-discovery)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Norvale Discovery")
set(CPACK_PACKAGE_CONTACT "Norvale Discovery developers <developers@norvale-discovery.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "finds and manages Norvale NAS devices on the local network")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_SET_DESTDIR ON)
# Programs stripped as Debian strips them (cmake/StripPackage.cmake).
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/StripPackage.cmake)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.norvale-discovery.com/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries: Tahoma for the skin's texts, GVfs to mount shares,
# CJK glyphs for the Chinese, Japanese and Korean texts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, gvfs, gvfs-backends, gvfs-fuse")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fonts-noto-cjk")
# The extended description, under the summary as its synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Norvale Discovery searches the home or office network with UPnP (SSDP)
for the vendor's NAS devices and lists the supported models in one small
window. For the selected device it opens the web configuration page, maps
and browses its shared folders (through GVfs), creates a desktop shortcut
and switches the identify LED.
.
The command line lists and watches the devices (norvale-discovery --list,
--watch, --json) and switches LEDs; norvale-shares lists and maps the
shares of a device.")
find_program(NORVALE_DPKG dpkg)
if(NORVALE_DPKG)
  execute_process(COMMAND ${NORVALE_DPKG} --print-architecture
    OUTPUT_VARIABLE NORVALE_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
else()
  set(NORVALE_DEB_ARCH amd64)
endif()
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${NORVALE_DEB_ARCH})
set(NORVALE_DEB_FILE ${CPACK_PACKAGE_NAME}_${PROJECT_VERSION}_${NORVALE_DEB_ARCH}.deb)
set(CPACK_DEBIAN_FILE_NAME ${NORVALE_DEB_FILE})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)

# The deb target of a build that is not the package's own: configures and
# builds build/deb, packs it there and copies the package here.
if(NORVALE_DEB_BUILD)
  return()
endif()
set(deb_flags)
find_program(NORVALE_DPKG_BUILDFLAGS dpkg-buildflags)
if(NORVALE_DPKG_BUILDFLAGS)
  foreach(flag IN ITEMS CPPFLAGS CXXFLAGS CFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${NORVALE_DPKG_BUILDFLAGS} --get ${flag}
      OUTPUT_VARIABLE deb_${flag} OUTPUT_STRIP_TRAILING_WHITESPACE)
  endforeach()
  list(APPEND deb_flags "-DCMAKE_CXX_FLAGS=${deb_CPPFLAGS} ${deb_CXXFLAGS}"
                        "-DCMAKE_C_FLAGS=${deb_CPPFLAGS} ${deb_CFLAGS}"
                        "-DCMAKE_EXE_LINKER_FLAGS=${deb_LDFLAGS}")
endif()
set(deb_build ${CMAKE_BINARY_DIR}/deb)
add_custom_target(deb
  COMMAND ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${deb_build} -G ${CMAKE_GENERATOR}
          -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DNORVALE_DEB_BUILD=ON
          -DNORVALE_SELF_UPDATE=OFF -DNORVALE_VERSIONED_INSTALL=OFF -DNORVALE_BENCH=OFF
          -DNORVALE_SANITIZE= -DNORVALE_WERROR=OFF -DNORVALE_NETNS_RUN=${NORVALE_NETNS_RUN}
          ${deb_flags}
  COMMAND ${CMAKE_COMMAND} --build ${deb_build}
          --target norvale-discovery norvale-shares norvale_languages norvale_docs
  COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config ${deb_build}/CPackConfig.cmake
  COMMAND ${CMAKE_COMMAND} -E copy ${deb_build}/package/${NORVALE_DEB_FILE} ${CMAKE_BINARY_DIR}/
  COMMENT "Debian package ${CMAKE_BINARY_DIR}/${NORVALE_DEB_FILE}"
  USES_TERMINAL
  VERBATIM)
