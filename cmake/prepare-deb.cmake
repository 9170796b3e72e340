# Run by cpack before it packs the staged files: for a .deb, makes them what
# Debian installs. Compresses every manual page and the changelog with
# `gzip -9n`, and takes the .comment and .note sections, which the programs
# do not need, out of the programs (cpack has stripped their symbols). Other
# packages keep their files as they are.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/man*/*.[1-9]")
file(GLOB_RECURSE changelogs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/doc/*/changelog")
foreach(file IN LISTS pages changelogs)
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${file}")
  endif()
endforeach()
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND "${CPACK_ONDA_STRIP}" --remove-section=.comment --remove-section=.note
                          "${program}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CPACK_ONDA_STRIP} failed on ${program}")
  endif()
endforeach()
