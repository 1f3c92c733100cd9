# Run by cpack after staging the files (CPACK_PRE_BUILD_SCRIPTS): the libraries that the staged executables and
# modules link to, as dpkg-shlibdeps names their packages, go before the hand-written dependencies.
find_program(REMINDER_SHLIBDEPS dpkg-shlibdeps REQUIRED)

set(stage "${CPACK_TEMPORARY_DIRECTORY}")
file(GLOB_RECURSE staged LIST_DIRECTORIES false RELATIVE "${stage}" "${stage}/usr/*")
set(elf_files "")
foreach(path IN LISTS staged)
    file(READ "${stage}/${path}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
        list(APPEND elf_files "${path}")
    endif()
endforeach()
if(NOT elf_files)
    message(FATAL_ERROR "no executable or library among the staged files in ${stage}")
endif()

# dpkg-shlibdeps looks for debian/control in its working folder, and for DEBIAN to tell the package's own root.
file(WRITE "${stage}/debian/control" "")
file(MAKE_DIRECTORY "${stage}/DEBIAN")
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${REMINDER_SHLIBDEPS} -O ${elf_files}
    WORKING_DIRECTORY "${stage}"
    OUTPUT_VARIABLE shlibdeps_output
    ERROR_VARIABLE shlibdeps_error
    RESULT_VARIABLE shlibdeps_status)
file(REMOVE_RECURSE "${stage}/debian" "${stage}/DEBIAN")
if(NOT shlibdeps_status EQUAL 0 OR NOT shlibdeps_output MATCHES "shlibs:Depends=([^\n]+)")
    message(FATAL_ERROR "dpkg-shlibdeps ${elf_files} failed: ${shlibdeps_error}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}, ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
message(STATUS "Depends: ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
