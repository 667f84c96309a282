# cmake -DROOT=... -DRELEASE=... -P SwitchRelease.cmake
# Makes ROOT/RELEASE (already installed) the current release of a versioned
# installation, the way the updater does:
#   ROOT/current  -> RELEASE        switched by renaming a fresh link over it
#   ROOT/previous -> the release that was current, kept for one step back
# and removes older release folders, leftovers of interrupted updates and the
# files of the earlier flat layout (programs, language files and the copies an
# interrupted update of that layout left in ROOT).
if(NOT IS_DIRECTORY "${ROOT}/${RELEASE}")
  message(FATAL_ERROR "${ROOT}/${RELEASE} is not installed")
endif()

function(switch_link name target)
  file(REMOVE "${ROOT}/.link-install")
  file(CREATE_LINK "${target}" "${ROOT}/.link-install" SYMBOLIC)
  file(RENAME "${ROOT}/.link-install" "${ROOT}/${name}")
endfunction()

set(previous "")
if(IS_SYMLINK "${ROOT}/current")
  file(READ_SYMLINK "${ROOT}/current" previous)
endif()
if(previous STREQUAL RELEASE)
  # Installed again over itself: the previous release stays what it was.
  if(IS_SYMLINK "${ROOT}/previous")
    file(READ_SYMLINK "${ROOT}/previous" previous)
  else()
    set(previous "")
  endif()
elseif(NOT previous STREQUAL "")
  switch_link(previous "${previous}")
endif()
switch_link(current "${RELEASE}")

file(GLOB entries RELATIVE "${ROOT}" "${ROOT}/*" "${ROOT}/.incoming-*" "${ROOT}/.link-*"
     "${ROOT}/.norvale-update-*.tmp")
foreach(entry IN LISTS entries)
  set(path "${ROOT}/${entry}")
  if(entry STREQUAL RELEASE OR entry STREQUAL previous OR IS_SYMLINK "${path}")
    continue()
  endif()
  if(IS_DIRECTORY "${path}" AND entry MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$")
    file(REMOVE_RECURSE "${path}")
  elseif(entry MATCHES "^\\.(incoming-|link-|norvale-update-.*\\.tmp$)")
    file(REMOVE_RECURSE "${path}")
  elseif(NOT IS_DIRECTORY "${path}" AND
         entry MATCHES "^(norvale-discovery|norvale-autoupdate|norvale-shares|RES_.*\\.rcc)$")
    file(REMOVE "${path}")
  endif()
endforeach()
message(STATUS "Current release: ${ROOT}/current -> ${RELEASE}")
