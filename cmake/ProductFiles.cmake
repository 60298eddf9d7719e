# What a build installs besides its programs, named after its package: the manual pages of
# both programs, the menu entry, the description for software centres, the changelog and
# the icon (a 256 px PNG drawn from the SVG at build time with rsvg-convert).
#
#   flashtool_product_files(PREFIX OUT TARGET)
#
# PREFIX names a build read by flashtool_read_build (cmake/BuildData.cmake). The texts are
# written at configure time into OUT: PACKAGE.1 and PACKAGE-emulated.1, APP_ID.desktop,
# APP_ID.metainfo.xml and changelog; TARGET (built with ALL) makes their compressed forms
# and the PNG. Sets TARGET_ICON (the SVG) and TARGET_PNG (empty without rsvg-convert) in the
# caller's scope.
#
# The demo build (package "flashtool") keeps the project's own texts: its changelog is
# packaging/changelog, whose entries also give its software-centre releases. A product
# build's come from its release notes (build.txt's release-notes), or say which firmware it
# carries when it has none; its vendor, maintainer and homepage, where build.txt gives them,
# replace the project's.
include_guard(GLOBAL)
# In the cache: every folder of the tree uses them, and the module is read once.
get_filename_component(packaging ${CMAKE_CURRENT_LIST_DIR}/../packaging ABSOLUTE)
set(FLASHTOOL_PACKAGING_DIR ${packaging} CACHE INTERNAL "packaging/")
set(FLASHTOOL_PROJECT_MAINTAINER "The flashtool developers <flashtool@example.org>"
    CACHE INTERNAL "The project's own maintainer, where a build names none")
set(FLASHTOOL_PROJECT_VENDOR "The flashtool developers"
    CACHE INTERNAL "The project's own vendor, where a build names none")
set(FLASHTOOL_PROJECT_HOMEPAGE "https://flashtool.example.org/"
    CACHE INTERNAL "The project's own homepage, where a build names none")

# TEXT for a manual page's running text: backslashes and hyphens escaped.
function(flashtool_roff text out)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# TEXT for XML's character data and attributes.
function(flashtool_xml text out)
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    string(REPLACE "\"" "&quot;" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# "A at revision 1.0d, B at revision 0113" for the drives of a scenario file; a file that is
# not one stops the configure step here, naming it.
function(flashtool_drives_summary file out)
    file(READ ${file} json)
    string(JSON count ERROR_VARIABLE error LENGTH "${json}" drives)
    if(error)
        message(FATAL_ERROR "${file}: not a scenario file of drives: ${error}")
    endif()
    set(summary "")
    math(EXPR last "${count} - 1")
    foreach(i RANGE ${last})
        string(JSON id ERROR_VARIABLE error GET "${json}" drives ${i} identification)
        string(JSON revision ERROR_VARIABLE error GET "${json}" drives ${i} revision)
        string(REGEX REPLACE " +" " " id "${id}")
        string(STRIP "${id}" id)
        if(NOT summary STREQUAL "")
            string(APPEND summary ", ")
        endif()
        string(APPEND summary "${id} at revision ${revision}")
    endforeach()
    set(${out} "${summary}" PARENT_SCOPE)
endfunction()

# A release's description: one point as a paragraph, several as a list. Each call adds
# POINT (XML already) to the description being made in the variables BODY and COUNT.
macro(flashtool_add_point point)
    math(EXPR ${body}_count "${${body}_count} + 1")
    string(APPEND ${body}_items "          <li>${point}</li>\n")
    if(${body}_count EQUAL 1)
        set(${body}_first "${point}")
    endif()
endmacro()

# One <release> entry from the points added under the name BODY.
function(flashtool_release_xml version date body out)
    set(xml "    <release version=\"${version}\" date=\"${date}\">\n      <description>\n")
    if(${body}_count EQUAL 1)
        string(APPEND xml "        <p>${${body}_first}</p>\n")
    else()
        string(APPEND xml "        <ul>\n${${body}_items}        </ul>\n")
    endif()
    string(APPEND xml "      </description>\n    </release>")
    set(${out} "${xml}" PARENT_SCOPE)
endfunction()

# The software-centre <release> entries of packaging/changelog's entries, newest first.
function(flashtool_project_releases out)
    file(READ ${FLASHTOOL_PACKAGING_DIR}/changelog text)
    # One line a list element: a semicolon in a line would split it.
    string(REPLACE ";" "@SEMICOLON@" text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    set(entries "")
    set(body points)
    foreach(line IN LISTS lines)
        string(REPLACE "@SEMICOLON@" ";" line "${line}")
        if(line MATCHES "^[a-z0-9.+-]+ \\(([^)]+)\\)")
            set(version "${CMAKE_MATCH_1}")
            set(points_count 0)
            set(points_items "")
            set(point "")
        elseif(line MATCHES "^(  \\* |    )(.*)$")
            # A point's lines are gathered until the next point or the entry's end.
            set(starts "${CMAKE_MATCH_1}")
            string(STRIP "${CMAKE_MATCH_2}" words)
            if(starts STREQUAL "  * " AND NOT point STREQUAL "")
                flashtool_xml("${point}" xml_point)
                flashtool_add_point("${xml_point}")
                set(point "")
            endif()
            string(STRIP "${point} ${words}" point)
        elseif(line MATCHES "^ -- .*  [A-Za-z]+, ([0-9]+) ([A-Za-z]+) ([0-9]+) ")
            set(day ${CMAKE_MATCH_1})
            set(year ${CMAKE_MATCH_3})
            list(FIND months ${CMAKE_MATCH_2} month)
            math(EXPR month "${month} + 1")
            if(month LESS 10)
                set(month "0${month}")
            endif()
            if(day LESS 10)
                set(day "0${day}")
            endif()
            if(NOT point STREQUAL "")
                flashtool_xml("${point}" xml_point)
                flashtool_add_point("${xml_point}")
                set(point "")
            endif()
            flashtool_release_xml("${version}" "${year}-${month}-${day}" points entry)
            string(APPEND entries "${entry}\n")
        endif()
    endforeach()
    string(REGEX REPLACE "\n$" "" entries "${entries}")
    set(${out} "${entries}" PARENT_SCOPE)
endfunction()

# A product build's release: its changelog entry (into CHANGELOG) and its <release> (into
# RELEASES), from its notes, or from the project's own release date when it has none.
function(flashtool_product_release prefix changelog releases)
    include(${${prefix}_DESCRIBED})
    set(maintainer "${${prefix}_MAINTAINER}")
    if(maintainer STREQUAL "")
        set(maintainer "${FLASHTOOL_PROJECT_MAINTAINER}")
    endif()
    set(items "")
    set(body points)
    set(points_count 0)
    set(points_items "")
    if(FWPACK_NOTE_COUNT GREATER 0)
        set(date "${FWPACK_NOTES_DATE}")
        set(changelog_date "${FWPACK_NOTES_CHANGELOG_DATE}")
        foreach(i RANGE 1 ${FWPACK_NOTE_COUNT})
            set(note "${FWPACK_NOTE_${i}}")
            string(REPLACE "\n" "\n    " indented "${note}")
            string(APPEND items "  * ${indented}\n")
            string(REPLACE "\n" " " joined "${note}")
            flashtool_xml("${joined}" joined)
            flashtool_add_point("${joined}")
        endforeach()
    else()
        # The project's release: the date of packaging/changelog's newest entry.
        file(READ ${FLASHTOOL_PACKAGING_DIR}/changelog project)
        string(REGEX MATCH "\n -- [^\n]*  ([^\n]+)" _ "${project}")
        set(changelog_date "${CMAKE_MATCH_1}")
        flashtool_project_releases(project_xml)
        string(REGEX MATCH "date=\"([^\"]+)\"" _ "${project_xml}")
        set(date "${CMAKE_MATCH_1}")
        string(APPEND items "  * Firmware ${${prefix}_REVISION} for the ${${prefix}_MODEL} drive,\n"
                            "    with flashtool ${PROJECT_VERSION}.\n")
        flashtool_xml("Firmware ${${prefix}_REVISION} for the ${${prefix}_MODEL} drive." point)
        flashtool_add_point("${point}")
    endif()
    set(head "${${prefix}_PACKAGE} (${${prefix}_PACKAGE_VERSION}) unstable; urgency=medium")
    set(${changelog} "${head}\n\n${items}\n -- ${maintainer}  ${changelog_date}\n" PARENT_SCOPE)
    flashtool_release_xml("${${prefix}_PACKAGE_VERSION}" "${date}" points xml)
    set(${releases} "${xml}" PARENT_SCOPE)
endfunction()

function(flashtool_product_files prefix out target)
    set(PROGRAM ${${prefix}_PACKAGE})
    set(APP_ID ${${prefix}_APP_ID})
    set(PACKAGE_VERSION ${${prefix}_PACKAGE_VERSION})
    set(here ${FLASHTOOL_PACKAGING_DIR})
    string(TOUPPER "${PROGRAM}" title)
    flashtool_roff("${title}" TITLE)
    flashtool_roff("${PROGRAM}" PROGRAM_ROFF)
    flashtool_drives_summary(${${prefix}_DRIVES} drives)
    flashtool_roff("${drives}." DRIVES_ROFF)
    set(vendor "${${prefix}_VENDOR}")
    set(homepage "${${prefix}_HOMEPAGE}")
    if(PROGRAM STREQUAL "flashtool")
        set(what "an optical (CD/DVD) drive")
        set(COMMENT "Update the firmware of an optical (CD/DVD) drive")
        set(summary "Update the firmware of an optical drive")
        flashtool_project_releases(RELEASES_XML)
        configure_file(${here}/changelog ${out}/changelog COPYONLY)
    else()
        set(what "the ${${prefix}_MODEL} drive to revision ${${prefix}_REVISION}")
        set(COMMENT "Update the firmware of the ${${prefix}_MODEL} drive to ${${prefix}_REVISION}")
        set(summary "Firmware ${${prefix}_REVISION} for the ${${prefix}_MODEL} drive")
        flashtool_product_release(${prefix} changelog RELEASES_XML)
        file(CONFIGURE OUTPUT ${out}/changelog CONTENT "${changelog}")
    endif()
    if(vendor STREQUAL "")
        set(vendor "${FLASHTOOL_PROJECT_VENDOR}")
    endif()
    if(homepage STREQUAL "")
        set(homepage "${FLASHTOOL_PROJECT_HOMEPAGE}")
    endif()
    flashtool_roff("${what}" WHAT_ROFF)
    flashtool_xml("${what}" WHAT_XML)
    flashtool_xml("${summary}" SUMMARY_XML)
    flashtool_xml("${vendor}" VENDOR_XML)
    flashtool_xml("${homepage}" HOMEPAGE_XML)
    configure_file(${here}/flashtool.1.in ${out}/${PROGRAM}.1 @ONLY)
    configure_file(${here}/flashtool-emulated.1.in ${out}/${PROGRAM}-emulated.1 @ONLY)
    configure_file(${here}/org.example.flashtool.desktop.in ${out}/${APP_ID}.desktop @ONLY)
    configure_file(${here}/org.example.flashtool.metainfo.xml.in ${out}/${APP_ID}.metainfo.xml
                   @ONLY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${here}/changelog)

    # Debian wants manual pages and changelogs compressed, reproducibly (-n: no name or time).
    set(gzip_to sh -c "gzip -9n -c \"$1\" > \"$2\"" gzip)
    set(outputs "")
    foreach(file ${PROGRAM}.1 ${PROGRAM}-emulated.1 changelog)
        add_custom_command(OUTPUT ${out}/${file}.gz
            COMMAND ${gzip_to} ${out}/${file} ${out}/${file}.gz
            DEPENDS ${out}/${file} VERBATIM)
        list(APPEND outputs ${out}/${file}.gz)
    endforeach()
    # The icon: the vendor's, else the project's. The 256 px PNG is drawn from the SVG, so
    # the two never differ; a build without rsvg-convert still builds and tests.
    set(icon "${${prefix}_ICON}")
    if(icon STREQUAL "")
        set(icon ${here}/org.example.flashtool.svg)
    endif()
    set(png "")
    find_program(FLASHTOOL_RSVG_CONVERT rsvg-convert)
    if(FLASHTOOL_RSVG_CONVERT)
        set(png ${out}/${APP_ID}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${FLASHTOOL_RSVG_CONVERT} -w 256 -h 256 -o ${png} ${icon}
            DEPENDS ${icon} VERBATIM)
        list(APPEND outputs ${png})
    endif()
    add_custom_target(${target} ALL DEPENDS ${outputs})
    set(${target}_ICON ${icon} PARENT_SCOPE)
    set(${target}_PNG "${png}" PARENT_SCOPE)
endfunction()
