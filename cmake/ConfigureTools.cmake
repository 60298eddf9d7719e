# The packer at configure time. The configure step of every tree checks its builds with
# `fwpack --check` (cmake/BuildData.cmake), so a build that cannot be packed stops there
# with the packer's message, naming file, line and field. fwpack is then built before the
# tree is: as the host tools' own project (tools/fwpack), with the host compiler, once for
# all the trees of a source tree in build/host-tools (FLASHTOOL_HOST_TOOLS_DIR), which a
# cross build then also runs at build time (cmake/HostTools.cmake). The first configure of a
# source tree takes the half minute that building them takes; later ones a moment.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/BuildHostTools.cmake)
# The source tree these modules belong to (a test's small project includes them too). In
# the cache, as every folder of the tree calls these functions and the module is read once.
get_filename_component(root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(FLASHTOOL_SOURCE_ROOT ${root} CACHE INTERNAL "The source tree of cmake/")

set(FLASHTOOL_HOST_TOOLS_DIR "" CACHE PATH
    "Where the host tools are built (build/host-tools of the source tree when empty)")
set(FLASHTOOL_HOST_CXX_COMPILER "" CACHE FILEPATH
    "The C++ compiler of the host tools (CMake's default when empty)")

# The folder: the one given, else the source tree's build/host-tools where it can be made,
# else this tree's own (a source tree that is read-only).
function(flashtool_host_tools_dir out)
    if(FLASHTOOL_HOST_TOOLS_DIR)
        set(${out} ${FLASHTOOL_HOST_TOOLS_DIR} PARENT_SCOPE)
        return()
    endif()
    set(dir ${FLASHTOOL_SOURCE_ROOT}/build/host-tools)
    execute_process(COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
                    RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
    if(failed)
        set(dir ${CMAKE_BINARY_DIR}/host-tools)
    endif()
    set(${out} ${dir} PARENT_SCOPE)
endfunction()

# Sets FLASHTOOL_CHECK_FWPACK to the host tools' fwpack, built (or brought up to date) at the
# first call of a configure run.
function(flashtool_configure_fwpack)
    get_property(fwpack GLOBAL PROPERTY FLASHTOOL_CHECK_FWPACK)
    if(NOT fwpack)
        flashtool_host_tools_dir(dir)
        if(NOT EXISTS ${dir}/CMakeCache.txt)
            message(STATUS "host tools: building producttables, fwsynth, fwpack and pngico in ${dir}")
        endif()
        # Only a native tree's compiler is the host's; ccache where this tree uses it.
        set(cxx ${FLASHTOOL_HOST_CXX_COMPILER})
        set(launcher "")
        if(NOT CMAKE_CROSSCOMPILING)
            set(launcher "${CMAKE_CXX_COMPILER_LAUNCHER}")
        endif()
        flashtool_build_host_tools(${dir} ${FLASHTOOL_SOURCE_ROOT}/tools/fwpack CXX "${cxx}"
            LAUNCHER "${launcher}" GENERATOR "${CMAKE_GENERATOR}"
            MAKE_PROGRAM "${CMAKE_MAKE_PROGRAM}")
        set(fwpack ${dir}/fwpack)
        set_property(GLOBAL PROPERTY FLASHTOOL_CHECK_FWPACK ${fwpack})
    endif()
    set(FLASHTOOL_CHECK_FWPACK ${fwpack} PARENT_SCOPE)
endfunction()
