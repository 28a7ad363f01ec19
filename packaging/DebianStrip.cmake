# Run by CPack in the package's staging folder: strips the programs as Debian's dh_strip does,
# dropping the compiler's .comment and .note sections too, which a plain strip keeps.
foreach(program IN LISTS CPACK_ZEPH_PROGRAMS)
  set(file "${CPACK_TEMPORARY_DIRECTORY}${program}")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "DebianStrip: no ${file} to strip")
  endif()
  execute_process(
    COMMAND "${CPACK_ZEPH_STRIP}" --remove-section=.comment --remove-section=.note "${file}"
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
