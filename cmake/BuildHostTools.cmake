# Builds the host tools (tools/fwpack as a project of its own, with the host compiler) in
# DIR, configuring the tree first when it has not been; one process at a time, as the trees
# of one source tree share DIR. Run as a script:
#
#   cmake -DDIR=... -DSOURCE=tools/fwpack [-DCXX=...] [-DLAUNCHER=...] [-DGENERATOR=...]
#         [-DMAKE_PROGRAM=...] -P BuildHostTools.cmake
#
# and from cmake/ConfigureTools.cmake at configure time. Prints the tools' build output only
# when it fails.
cmake_minimum_required(VERSION 3.25)

function(flashtool_build_host_tools dir source)
    cmake_parse_arguments(ARG "" "CXX;LAUNCHER;GENERATOR;MAKE_PROGRAM" "" ${ARGN})
    file(MAKE_DIRECTORY ${dir})
    file(LOCK ${dir} DIRECTORY GUARD FUNCTION TIMEOUT 3600 RESULT_VARIABLE locked)
    if(NOT locked EQUAL 0)
        message(FATAL_ERROR "host tools: ${dir} stayed locked by another build: ${locked}")
    endif()
    if(NOT EXISTS ${dir}/CMakeCache.txt)
        set(options -DCMAKE_BUILD_TYPE=Release)
        if(ARG_GENERATOR)
            list(APPEND options -G ${ARG_GENERATOR})
        endif()
        if(ARG_MAKE_PROGRAM)
            list(APPEND options -DCMAKE_MAKE_PROGRAM=${ARG_MAKE_PROGRAM})
        endif()
        if(ARG_CXX)
            list(APPEND options -DCMAKE_CXX_COMPILER=${ARG_CXX})
        endif()
        if(ARG_LAUNCHER)
            list(APPEND options -DCMAKE_CXX_COMPILER_LAUNCHER=${ARG_LAUNCHER})
        endif()
        execute_process(COMMAND ${CMAKE_COMMAND} -S ${source} -B ${dir} ${options}
                        OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE failed)
        if(failed)
            file(REMOVE ${dir}/CMakeCache.txt)
            message(FATAL_ERROR "host tools: configuring ${dir} failed:\n${out}")
        endif()
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${dir} --target producttables fwsynth fwpack pngico
                    OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "host tools: building in ${dir} failed:\n${out}")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    flashtool_build_host_tools(${DIR} ${SOURCE} CXX "${CXX}" LAUNCHER "${LAUNCHER}"
                               GENERATOR "${GENERATOR}" MAKE_PROGRAM "${MAKE_PROGRAM}")
endif()
