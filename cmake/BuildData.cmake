# A build's data library: the stored region packed from a build folder (its build.txt and
# firmware), the emulated drives it names, and what the product is called.
#
#   flashtool_read_build(FOLDER PREFIX)   checks the build and sets PREFIX_PACKAGE, _MODEL,
#       _REVISION, _PACKAGE_VERSION, _APP_ID, _DRIVES, _KEY, _VENDOR, _MAINTAINER,
#       _HOMEPAGE, _ICON, _RELEASE_NOTES, _INPUTS and _DESCRIBED (the packer's description
#       of it, a CMake script of FWPACK_* variables: the release notes are read from there)
#   flashtool_build_data(TARGET FOLDER OUT)  the static library TARGET; stored-region.bin
#                                            and the images it packed stay in OUT
#
# The build is read once, by the packer: at configure time `fwpack --check` runs every check
# of packing it (a missing or unfit firmware, a bad field: the configure step stops with the
# file, line and field) and describes it for CMake (tools/fwpack/CMakeDescription.h). Every
# file it is made from is a configure dependency, so an edit of any of them configures the
# tree again before anything is built: the program's identity, the package's version and
# the packed region can never disagree.
include_guard(GLOBAL)
set(FLASHTOOL_BUILD_DATA_DIR ${CMAKE_CURRENT_LIST_DIR} CACHE INTERNAL "cmake/")
include(${CMAKE_CURRENT_LIST_DIR}/ConfigureTools.cmake)

# The hash of the files `inputs` and of the packer: what a check's result stands on.
function(flashtool_check_stamp inputs fwpack out)
    set(text "")
    foreach(file IN LISTS inputs ITEMS ${fwpack})
        if(EXISTS ${file} AND NOT IS_DIRECTORY ${file})
            file(SHA256 ${file} digest)
        else()
            set(digest none)
        endif()
        string(APPEND text "${file} ${digest}\n")
    endforeach()
    string(SHA256 stamp "${text}")
    set(${out} ${stamp} PARENT_SCOPE)
endfunction()

# Runs `fwpack --check` on FOLDER's build.txt unless nothing it read has changed since the
# last time, and sets OUT to the description it wrote.
function(flashtool_check_build folder out)
    # Once a configure run: the trees' folders read a build as often as they need it.
    get_property(checked GLOBAL PROPERTY "FLASHTOOL_CHECKED_${folder}")
    if(checked)
        set(${out} ${checked} PARENT_SCOPE)
        return()
    endif()
    set(description ${folder}/build.txt)
    if(NOT EXISTS ${description})
        message(FATAL_ERROR "FLASHTOOL_BUILD: ${folder} holds no build.txt")
    endif()
    flashtool_configure_fwpack()
    get_filename_component(name ${folder} NAME)
    string(MD5 id "${folder}")
    string(SUBSTRING ${id} 0 8 id)
    set(dir ${CMAKE_BINARY_DIR}/build-checks/${name}-${id})
    set(described ${dir}/description.cmake)
    set(FWPACK_INPUTS ${description})
    if(EXISTS ${described} AND EXISTS ${dir}/stamp)
        include(${described})
        flashtool_check_stamp("${FWPACK_INPUTS}" ${FLASHTOOL_CHECK_FWPACK} stamp)
        file(READ ${dir}/stamp old)
        if(stamp STREQUAL old)
            set_property(GLOBAL PROPERTY "FLASHTOOL_CHECKED_${folder}" ${described})
            set(${out} ${described} PARENT_SCOPE)
            return()
        endif()
    endif()
    file(MAKE_DIRECTORY ${dir})
    file(REMOVE ${dir}/stamp)
    execute_process(
        COMMAND ${FLASHTOOL_CHECK_FWPACK} ${description} --check --describe ${described}
        OUTPUT_VARIABLE said ERROR_VARIABLE refused RESULT_VARIABLE failed)
    if(failed)
        # The inputs read so far still bring the configure step back after an edit.
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${FWPACK_INPUTS})
        # Indented, CMake prints the packer's lines as they are, unwrapped.
        string(STRIP "${refused}" refused)
        string(REPLACE "\n" "\n  " refused "${refused}")
        message(FATAL_ERROR "The build ${folder} cannot be packed:\n  ${refused}")
    endif()
    include(${described})
    flashtool_check_stamp("${FWPACK_INPUTS}" ${FLASHTOOL_CHECK_FWPACK} stamp)
    file(WRITE ${dir}/stamp ${stamp})
    set_property(GLOBAL PROPERTY "FLASHTOOL_CHECKED_${folder}" ${described})
    set(${out} ${described} PARENT_SCOPE)
endfunction()

function(flashtool_read_build folder prefix)
    flashtool_check_build(${folder} described)
    include(${described})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${FWPACK_INPUTS})
    set(package ${FWPACK_PACKAGE})
    set(revision "${FWPACK_REVISION}")
    # Debian versions: the firmware revision (which orders releases of one model), then the
    # program's version. An upstream version begins with a digit and holds no '-' or ':'.
    string(REGEX REPLACE "[^A-Za-z0-9.+~]" "." revision_version "${revision}")
    if(NOT revision_version MATCHES "^[0-9]")
        set(revision_version "0${revision_version}")
    endif()
    # A desktop and AppStream id: reverse DNS, its parts letters, digits and '_'.
    if(package STREQUAL "flashtool")
        set(app_id org.example.flashtool)
    else()
        string(REGEX REPLACE "^flashtool-" "" suffix "${package}")
        string(REGEX REPLACE "[^A-Za-z0-9]" "_" suffix "${suffix}")
        if(suffix MATCHES "^[0-9]")
            set(suffix "m${suffix}")
        endif()
        set(app_id org.example.flashtool.${suffix})
    endif()
    set(drives "${FWPACK_DRIVES}")
    if(drives STREQUAL "")
        set(drives ${FLASHTOOL_SOURCE_ROOT}/scenarios/demo.json)
    endif()
    set(${prefix}_PACKAGE ${package} PARENT_SCOPE)
    set(${prefix}_MODEL "${FWPACK_MODEL}" PARENT_SCOPE)
    set(${prefix}_REVISION "${revision}" PARENT_SCOPE)
    set(${prefix}_PACKAGE_VERSION "${revision_version}+${PROJECT_VERSION}" PARENT_SCOPE)
    set(${prefix}_APP_ID ${app_id} PARENT_SCOPE)
    set(${prefix}_DRIVES ${drives} PARENT_SCOPE)
    foreach(field KEY VENDOR MAINTAINER HOMEPAGE ICON RELEASE_NOTES INPUTS)
        set(${prefix}_${field} "${FWPACK_${field}}" PARENT_SCOPE)
    endforeach()
    set(${prefix}_DESCRIBED ${described} PARENT_SCOPE)
endfunction()

function(flashtool_build_data target folder out)
    get_filename_component(folder ${folder} ABSOLUTE BASE_DIR ${FLASHTOOL_SOURCE_ROOT})
    flashtool_read_build(${folder} build)
    include(${build_DESCRIBED})
    set(region ${out}/stored-region.bin)
    set(images ${out}/firmware-a.bin)
    if(NOT FWPACK_FIRMWARE_B STREQUAL "")
        list(APPEND images ${out}/firmware-b.bin)
    endif()
    add_custom_command(
        OUTPUT ${region} ${images}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
        COMMAND ${FLASHTOOL_FWPACK} ${folder}/build.txt -o ${region} --images ${out}
        DEPENDS ${build_INPUTS} ${FLASHTOOL_FWPACK_DEPENDS}
        COMMENT "Packing the stored region of ${folder}"
        VERBATIM)
    set(embed ${FLASHTOOL_BUILD_DATA_DIR}/EmbedBinary.cmake)
    set(write_identity ${FLASHTOOL_BUILD_DATA_DIR}/WriteBuildIdentity.cmake)
    add_custom_command(
        OUTPUT ${out}/StoredRegion.cpp
        COMMAND ${CMAKE_COMMAND} -DINPUT=${region} -DOUTPUT=${out}/StoredRegion.cpp
                -DHEADER=data/EmbeddedRegion.h -DFUNCTION=EmbeddedStoredRegion
                -DNAMESPACE=flashtool -P ${embed}
        DEPENDS ${region} ${embed}
        COMMENT "Embedding the stored region of ${folder}"
        VERBATIM)
    add_custom_command(
        OUTPUT ${out}/BuildDrives.cpp
        COMMAND ${CMAKE_COMMAND} -DINPUT=${build_DRIVES} -DOUTPUT=${out}/BuildDrives.cpp
                -DHEADER=data/BuildIdentity.h -DFUNCTION=EmbeddedDriveScenario
                -DNAMESPACE=flashtool -P ${embed}
        DEPENDS ${build_DRIVES} ${embed}
        COMMENT "Embedding the emulated drives of ${folder}"
        VERBATIM)
    add_custom_command(
        OUTPUT ${out}/ThisBuild.cpp
        COMMAND ${CMAKE_COMMAND} -DREGION=${region} -DIMAGES=${out} -DOUTPUT=${out}/ThisBuild.cpp
                -DDESCRIBED=${build_DESCRIBED} "-DPACKAGE_VERSION=${build_PACKAGE_VERSION}"
                "-DPROGRAM_VERSION=${PROJECT_VERSION}" -P ${write_identity}
        DEPENDS ${region} ${images} ${write_identity} ${build_DESCRIBED}
        COMMENT "Writing the identity of ${folder}"
        VERBATIM)
    add_library(${target} STATIC ${out}/StoredRegion.cpp ${out}/BuildDrives.cpp
                ${out}/ThisBuild.cpp ${FLASHTOOL_SOURCE_ROOT}/data/BuildIdentity.cpp)
    target_link_libraries(${target} PUBLIC core)
    set_target_properties(${target} PROPERTIES FLASHTOOL_BUILD_FOLDER ${folder})
endfunction()
