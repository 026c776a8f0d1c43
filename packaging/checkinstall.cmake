# Installs the build in BUILD_DIR into PREFIX and checks that every file is where a Debian
# program keeps it. Run by ctest (Install.LaysOutFilesLikeADebianProgram).
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${rc})")
endif()

set(expected
    bin/tallymerge
    bin/tallymerge-sample
    bin/tallymerge-admin
    bin/tallymerge-check
    ${LIBDIR}/libvrexeditbox.so.1.0.0
    ${LIBDIR}/libvrexeditbox.so.1
    share/applications/tallymerge.desktop
    share/icons/hicolor/scalable/apps/tallymerge.svg
    share/doc/tallymerge/README.md
    share/doc/tallymerge/settings.md
    share/man/man1/tallymerge.1.gz
    share/man/man1/tallymerge-admin.1.gz
    share/man/man1/tallymerge-check.1.gz
    share/man/man1/tallymerge-sample.1.gz
    share/metainfo/com.norvane.tallymerge.metainfo.xml)
foreach(path IN LISTS expected)
    if(NOT EXISTS ${PREFIX}/${path})
        message(FATAL_ERROR "missing after install: ${path}")
    endif()
endforeach()

# The manual pages are made from their sources: compressed, with a title line of their own.
execute_process(COMMAND gzip -dc ${PREFIX}/share/man/man1/tallymerge-admin.1.gz
                OUTPUT_VARIABLE page RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT page MATCHES "\n\\.TH \"tallymerge-admin\" \"1\"")
    message(FATAL_ERROR "tallymerge-admin.1.gz is not a manual page:\n${page}")
endif()

# The library's SONAME is what its link is named after.
execute_process(COMMAND objdump -p ${PREFIX}/${LIBDIR}/libvrexeditbox.so.1.0.0
                OUTPUT_VARIABLE dynamic)
if(NOT dynamic MATCHES "SONAME +libvrexeditbox\\.so\\.1\n")
    message(FATAL_ERROR "libvrexeditbox has no SONAME libvrexeditbox.so.1")
endif()

# The desktop entry starts the installed program and names the installed icon.
file(READ ${PREFIX}/share/applications/tallymerge.desktop entry)
foreach(line "Exec=tallymerge\n" "Icon=tallymerge\n" "Type=Application\n")
    string(FIND "${entry}" "${line}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the desktop entry lacks ${line}")
    endif()
endforeach()

# The installed program finds its library from the install folder, not the build's.
execute_process(COMMAND ldd ${PREFIX}/bin/tallymerge OUTPUT_VARIABLE libraries)
if(NOT libraries MATCHES "libvrexeditbox\\.so\\.1 => ${PREFIX}/[^\n]*libvrexeditbox\\.so\\.1")
    message(FATAL_ERROR "the installed program does not find its library:\n${libraries}")
endif()
file(REMOVE_RECURSE ${PREFIX})
