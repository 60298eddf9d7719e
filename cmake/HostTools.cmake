# The tools the build runs on the build machine: producttables (the product tables of data/
# into constant tables), fwsynth (the synthetic firmware), fwpack (the stored region) and
# pngico (a build's own icon for the Windows programs).
# Sets FLASHTOOL_PRODUCTTABLES, FLASHTOOL_FWSYNTH, FLASHTOOL_FWPACK and FLASHTOOL_PNGICO and
# FLASHTOOL_<TOOL>_DEPENDS (what a custom command running one depends on: only its own
# target, as fwpack itself is built on the tables producttables writes).
#
# A native build runs its own targets. A cross build runs those of the host tools' tree,
# which cmake/ConfigureTools.cmake builds with the host compiler at configure time (for the
# configure step's own check of the build) and brings up to date before anything runs them:
# they are never cross-compiled.
set(flashtool_host_tools producttables fwsynth fwpack pngico)
if(NOT CMAKE_CROSSCOMPILING)
    foreach(tool IN LISTS flashtool_host_tools)
        string(TOUPPER ${tool} name)
        set(FLASHTOOL_${name} $<TARGET_FILE:${tool}>)
        set(FLASHTOOL_${name}_DEPENDS ${tool})
    endforeach()
else()
    include(${CMAKE_CURRENT_LIST_DIR}/ConfigureTools.cmake)
    flashtool_host_tools_dir(host_dir)
    set(byproducts "")
    foreach(tool IN LISTS flashtool_host_tools)
        string(TOUPPER ${tool} name)
        set(FLASHTOOL_${name} ${host_dir}/${tool})
        set(FLASHTOOL_${name}_DEPENDS flashtool_host_tools ${host_dir}/${tool})
        list(APPEND byproducts ${host_dir}/${tool})
    endforeach()
    # Run at every build, as their sources may have changed since the configure step; an
    # up-to-date tree costs a fraction of a second.
    add_custom_target(flashtool_host_tools
        COMMAND ${CMAKE_COMMAND} -DDIR=${host_dir} -DSOURCE=${PROJECT_SOURCE_DIR}/tools/fwpack
                -P ${CMAKE_CURRENT_LIST_DIR}/BuildHostTools.cmake
        BYPRODUCTS ${byproducts}
        COMMENT "Bringing the host tools up to date in ${host_dir}"
        VERBATIM)
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
