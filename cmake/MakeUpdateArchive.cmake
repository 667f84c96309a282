# cmake -DFOLDER=... -DARCHIVE=... -P MakeUpdateArchive.cmake
# Writes ARCHIVE, a ZIP of the top-level files of FOLDER (names only, modes
# kept); folders are left out, since an update installs top-level files only.
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
file(REMOVE ${ARCHIVE})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ARCHIVE} --format=zip ${files}
  WORKING_DIRECTORY ${FOLDER} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Could not write ${ARCHIVE}")
endif()
