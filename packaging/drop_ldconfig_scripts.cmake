# Run by CPack after it built the .deb. CPack's DEB generator adds postinst
# and postrm scripts that call ldconfig whenever a shared object lies under
# /usr/lib, whatever the folder. Ours lie in the program's private folder,
# which the dynamic linker never searches (the programs find them through
# $ORIGIN), so those calls only cost time; the package is rebuilt without
# the two scripts, everything else as CPack made it.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${deb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  foreach(script postinst postrm)
    # Only the generated ldconfig scripts go; a script of our own would stay.
    if(EXISTS "${tree}/DEBIAN/${script}")
      file(READ "${tree}/DEBIAN/${script}" text)
      string(FIND "${text}" "ldconfig" at)
      if(NOT at EQUAL -1)
        file(REMOVE "${tree}/DEBIAN/${script}")
      endif()
    endif()
  endforeach()
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b "${tree}" "${deb}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
