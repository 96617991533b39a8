# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack on its staging folder before it builds the .deb: strips the programs as Debian's
# dh_strip does, debug symbols and the .comment and .note sections the toolchain leaves behind.
file(GLOB_RECURSE programs LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
if(NOT programs)
  message(FATAL_ERROR "strip-programs: no programs under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(program IN LISTS programs)
  execute_process(
    COMMAND "${CPACK_HALVIK_STRIP}" --remove-section=.comment --remove-section=.note "${program}"
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "strip-programs: strip failed on ${program}")
  endif()
endforeach()
