# A build's data library: the stored region packed from a build folder (its build.txt and
# firmware), the emulated drives it names, and what the product is called.
#
#   flashtool_read_build(FOLDER PREFIX)   sets PREFIX_PACKAGE, _MODEL, _REVISION,
#                                         _PACKAGE_VERSION, _APP_ID, _DRIVES, _DESCRIPTION
#   flashtool_build_data(TARGET FOLDER OUT)  the static library TARGET; stored-region.bin
#                                            and the images it packed stay in OUT
#
# The packer (fwpack) checks the description and the firmware and names the file and field
# of what it refuses; here only what CMake needs is read: the product's names and where
# its files are, so that a change to any of them packs again.
include_guard(GLOBAL)
set(FLASHTOOL_BUILD_DATA_DIR ${CMAKE_CURRENT_LIST_DIR})

# The value of the record NAME of build.txt (quotes removed), or "" when it has none.
function(flashtool_build_field lines name out)
    set(value "")
    foreach(line IN LISTS lines)
        # One test at a time: a second MATCHES in the same if() clears the first's match.
        if(line MATCHES "^[ \t]*${name}[ \t]+\"([^\"]*)\"[ \t]*$")
            set(value "${CMAKE_MATCH_1}")
        elseif(line MATCHES "^[ \t]*${name}[ \t]+([^ \t\"]+)[ \t]*$")
            set(value "${CMAKE_MATCH_1}")
        endif()
    endforeach()
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

function(flashtool_read_build folder prefix)
    set(description ${folder}/build.txt)
    if(NOT EXISTS ${description})
        message(FATAL_ERROR "FLASHTOOL_BUILD: ${folder} holds no build.txt")
    endif()
    file(STRINGS ${description} lines)
    foreach(field key target revision package model drives)
        flashtool_build_field("${lines}" ${field} ${field})
    endforeach()
    # The model: the one the description names, else the target with its blanks closed up.
    if(model STREQUAL "")
        string(REGEX REPLACE " +" " " model "${target}")
        string(STRIP "${model}" model)
    endif()
    # The package: flashtool- and the target's last word, in Debian's characters.
    if(package STREQUAL "")
        string(STRIP "${target}" words)
        string(REGEX REPLACE ".* " "" last "${words}")
        string(TOLOWER "${last}" last)
        string(REGEX REPLACE "[^a-z0-9+.-]" "-" last "${last}")
        if(last STREQUAL "" OR last MATCHES "^[*-]*$")
            message(FATAL_ERROR "${description}: package is missing: a wildcard target names "
                                "no model to name the package after")
        endif()
        set(package "flashtool-${last}")
    endif()
    if(NOT package MATCHES "^[a-z0-9][a-z0-9+.-]+$")
        message(FATAL_ERROR "${description}: package \"${package}\" is not a Debian package name")
    endif()
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
    if(drives STREQUAL "")
        set(drives ${PROJECT_SOURCE_DIR}/scenarios/demo.json)
    else()
        get_filename_component(drives ${drives} ABSOLUTE BASE_DIR ${folder})
    endif()
    set(${prefix}_PACKAGE ${package} PARENT_SCOPE)
    set(${prefix}_MODEL "${model}" PARENT_SCOPE)
    set(${prefix}_REVISION "${revision}" PARENT_SCOPE)
    set(${prefix}_PACKAGE_VERSION "${revision_version}+${PROJECT_VERSION}" PARENT_SCOPE)
    set(${prefix}_APP_ID ${app_id} PARENT_SCOPE)
    set(${prefix}_DRIVES ${drives} PARENT_SCOPE)
    set(${prefix}_KEY "${key}" PARENT_SCOPE)
endfunction()

function(flashtool_build_data target folder out)
    get_filename_component(folder ${folder} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
    flashtool_read_build(${folder} build)
    set(region ${out}/stored-region.bin)
    # Every file of the folder and the firmware files the description names elsewhere.
    file(GLOB inputs CONFIGURE_DEPENDS ${folder}/*)
    file(STRINGS ${folder}/build.txt lines)
    foreach(field image-a image-b synthetic-a synthetic-b)
        flashtool_build_field("${lines}" ${field} path)
        if(NOT path STREQUAL "")
            get_filename_component(path ${path} ABSOLUTE BASE_DIR ${folder})
            list(APPEND inputs ${path})
        endif()
    endforeach()
    list(REMOVE_DUPLICATES inputs)
    add_custom_command(
        OUTPUT ${region} ${out}/firmware-a.bin
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
        COMMAND ${FLASHTOOL_FWPACK} ${folder}/build.txt -o ${region} --images ${out}
        DEPENDS ${inputs} ${FLASHTOOL_FWPACK_DEPENDS}
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
        COMMAND ${CMAKE_COMMAND} -DREGION=${region} -DOUTPUT=${out}/ThisBuild.cpp
                "-DPACKAGE=${build_PACKAGE}" "-DPACKAGE_VERSION=${build_PACKAGE_VERSION}"
                "-DMODEL=${build_MODEL}" "-DREVISION=${build_REVISION}"
                "-DPROGRAM_VERSION=${PROJECT_VERSION}" -P ${write_identity}
        DEPENDS ${region} ${write_identity} ${folder}/build.txt
        COMMENT "Writing the identity of ${folder}"
        VERBATIM)
    add_library(${target} STATIC ${out}/StoredRegion.cpp ${out}/BuildDrives.cpp
                ${out}/ThisBuild.cpp ${PROJECT_SOURCE_DIR}/data/BuildIdentity.cpp)
    target_link_libraries(${target} PUBLIC core)
    set_target_properties(${target} PROPERTIES FLASHTOOL_BUILD_FOLDER ${folder})
endfunction()
