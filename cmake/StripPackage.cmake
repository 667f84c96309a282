# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) once the package's files are in
# CPACK_TEMPORARY_INSTALL_DIRECTORY: strips the programs as Debian's own
# tools do, debugging symbols and the .comment and .note sections.
find_program(strip_program NAMES strip REQUIRED)
file(GLOB_RECURSE files LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS files)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")  # an ELF file
    execute_process(COMMAND ${strip_program} --remove-section=.comment --remove-section=.note
                            "${file}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
