# Installs the vrexeditbox components of BUILD_DIR (library, development files, Designer
# plugin) into a fresh prefix under WORK_DIR, checks that only the public header is
# installed, then configures, builds and runs the host
# program of HOST_SOURCE against the installed copy, with the installed Designer plugin
# loaded without LD_LIBRARY_PATH.
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${ARGN} failed (${rc}):\n${out}")
    endif()
    message(STATUS "${out}")
endfunction()

foreach(component VrexEditbox VrexEditboxDev VrexEditboxDesigner)
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component ${component})
endforeach()

file(GLOB_RECURSE headers RELATIVE ${prefix} ${prefix}/*.h)
list(SORT headers)
if(NOT headers STREQUAL "include/vrexeditbox/vrexeditbox.h;include/vrexeditbox/vrexeditbox_export.h")
    message(FATAL_ERROR "installed headers: ${headers}")
endif()
file(GLOB_RECURSE plugins ${prefix}/libvrexeditbox_designer.so)
if(NOT plugins)
    message(FATAL_ERROR "no Designer plugin installed under ${prefix}")
endif()
# The plugin finds the library by its RUNPATH alone (a host that links the library would
# hide a missing one, so the dynamic loader is asked directly).
execute_process(COMMAND ldd ${plugins} OUTPUT_VARIABLE needed)
string(REGEX MATCH "libvrexeditbox\\.so\\.1 => ([^ ]+)" found "${needed}")
set(library "${CMAKE_MATCH_1}")
string(FIND "${library}" "${prefix}/" at)
if(NOT at EQUAL 0)
    message(FATAL_ERROR "the Designer plugin does not find the installed library:\n${needed}")
endif()
file(GLOB_RECURSE configs ${prefix}/VrexEditboxConfigVersion.cmake)
if(NOT configs)
    message(FATAL_ERROR "no package version file installed")
endif()

set(flags "${CXX_FLAGS}")
if(SANITIZE)
    string(APPEND flags " -fsanitize=address,undefined")
endif()
run(${CMAKE_COMMAND} -S ${HOST_SOURCE} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} "-DCMAKE_CXX_FLAGS=${flags}"
    -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
unset(ENV{LD_LIBRARY_PATH})
run(${WORK_DIR}/build/host ${plugins})
