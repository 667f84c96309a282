# cmake -DFOLDER=... -DARCHIVE=... -DVERSION=... [-DKEY=... -DPACK=...] -P MakeUpdateArchive.cmake
# Writes ARCHIVE, a ZIP of the top-level files of FOLDER (names only, modes
# kept; folders are left out, since an update installs top-level files only).
# With KEY (a minisign secret key file without password) the archive is made
# and signed by PACK (norvale-update-pack) as release VERSION; without it the
# archive is unsigned, and the updater will not install it.
file(GLOB entries RELATIVE ${FOLDER} ${FOLDER}/*)
set(files)
foreach(entry IN LISTS entries)
  if(NOT IS_DIRECTORY ${FOLDER}/${entry})
    list(APPEND files ${entry})
  endif()
endforeach()
if(NOT files)
  message(FATAL_ERROR "No files in ${FOLDER}")
endif()
file(REMOVE ${ARCHIVE} ${ARCHIVE}.minisig)
if(KEY)
  execute_process(COMMAND ${PACK} --key ${KEY} --version ${VERSION} --out ${ARCHIVE} ${files}
    WORKING_DIRECTORY ${FOLDER} RESULT_VARIABLE result)
else()
  message(WARNING "NORVALE_UPDATE_SECRET_KEY is not set: ${ARCHIVE} is not signed, "
                  "and the updater refuses an archive without a signature")
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ARCHIVE} --format=zip ${files}
    WORKING_DIRECTORY ${FOLDER} RESULT_VARIABLE result)
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Could not write ${ARCHIVE}")
endif()
