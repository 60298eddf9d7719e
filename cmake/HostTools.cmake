# The tools the build runs on the build machine: producttables (the product tables of data/
# into constant tables), fwsynth (the synthetic firmware) and fwpack (the stored region).
# Sets FLASHTOOL_PRODUCTTABLES, FLASHTOOL_FWSYNTH and FLASHTOOL_FWPACK (the commands) and
# FLASHTOOL_<TOOL>_DEPENDS (what a custom command running one depends on: only its own
# target, as fwpack itself is built on the tables producttables writes).
#
# In a cross build they are built a second time, with the host compiler, as the project of
# tools/fwpack on its own (or taken from FLASHTOOL_HOST_TOOLS_DIR): never cross-compiled.
set(FLASHTOOL_HOST_TOOLS_DIR "" CACHE PATH
    "Cross builds: a folder holding host builds of producttables, fwsynth and fwpack (built when empty)")
set(FLASHTOOL_HOST_CXX_COMPILER "" CACHE FILEPATH
    "Cross builds: the C++ compiler for the host tools (CMake's default when empty)")
set(flashtool_host_tools producttables fwsynth fwpack)
if(NOT CMAKE_CROSSCOMPILING)
    foreach(tool IN LISTS flashtool_host_tools)
        string(TOUPPER ${tool} name)
        set(FLASHTOOL_${name} $<TARGET_FILE:${tool}>)
        set(FLASHTOOL_${name}_DEPENDS ${tool})
    endforeach()
elseif(FLASHTOOL_HOST_TOOLS_DIR)
    foreach(tool IN LISTS flashtool_host_tools)
        string(TOUPPER ${tool} name)
        set(FLASHTOOL_${name} ${FLASHTOOL_HOST_TOOLS_DIR}/${tool})
        set(FLASHTOOL_${name}_DEPENDS ${FLASHTOOL_HOST_TOOLS_DIR}/${tool})
    endforeach()
else()
    include(ExternalProject)
    set(host_dir ${CMAKE_BINARY_DIR}/host-tools)
    set(byproducts "")
    foreach(tool IN LISTS flashtool_host_tools)
        string(TOUPPER ${tool} name)
        set(FLASHTOOL_${name} ${host_dir}/${tool})
        set(FLASHTOOL_${name}_DEPENDS flashtool_host_tools ${host_dir}/${tool})
        list(APPEND byproducts ${host_dir}/${tool})
    endforeach()
    ExternalProject_Add(flashtool_host_tools
        SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/fwpack
        BINARY_DIR ${host_dir}
        CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
                   $<$<BOOL:${FLASHTOOL_HOST_CXX_COMPILER}>:-DCMAKE_CXX_COMPILER=${FLASHTOOL_HOST_CXX_COMPILER}>
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS ${byproducts})
endif()

# flashtool_product_tables(DIR): the custom command that writes the generated tables into
# DIR from the files of data/; a target that compiles them lists DIR's files as sources.
get_filename_component(FLASHTOOL_DATA_DIR ${CMAKE_CURRENT_LIST_DIR}/../data ABSOLUTE)
function(flashtool_product_tables dir)
    set(data ${FLASHTOOL_DATA_DIR})
    set(tables ${data}/families.txt ${data}/models.txt ${data}/oem-revisions.txt
               ${data}/factory-revisions.txt)
    add_custom_command(
        OUTPUT ${dir}/FamilyTraitsData.inc ${dir}/ModelTableData.inc ${dir}/FactoryRevisionData.inc
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${FLASHTOOL_PRODUCTTABLES} ${tables} -o ${dir}
        DEPENDS ${tables} ${FLASHTOOL_PRODUCTTABLES_DEPENDS}
        COMMENT "Generating the product tables from data/"
        VERBATIM)
endfunction()
