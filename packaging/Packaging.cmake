# The Debian package, made by `cpack` in a configured build (scripts/package does it all).
# It holds the two programs (PACKAGE, and PACKAGE-emulated, which touches no drive and
# replays what --record wrote) and their desktop files only: the tools, the tests and the
# benchmarks install nothing. The package sets no permissions and carries
# no maintainer scripts: access to the drives comes from the cdrom group (see the manual).
#
# Installing builds nothing: scripts/package builds the targets the package holds
# (flashtool, flashtool-emulated, desktop_files) and no more, so that packing a build of all the tests does
# not wait for them.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
# Named after the build (its description's package), versioned by the firmware revision it
# installs and then the program's version (data/CMakeLists.txt).
set(CPACK_PACKAGE_NAME ${FLASHTOOL_PACKAGE})
set(CPACK_PACKAGE_VERSION ${FLASHTOOL_PACKAGE_VERSION})
# The vendor's own, where the build names them (build.txt); the project's otherwise.
include(${PROJECT_SOURCE_DIR}/cmake/BuildData.cmake)
include(${PROJECT_SOURCE_DIR}/cmake/ProductFiles.cmake)
flashtool_read_build(${FLASHTOOL_BUILD} this)
set(CPACK_PACKAGE_VENDOR "${FLASHTOOL_PROJECT_VENDOR}")
if(NOT this_VENDOR STREQUAL "")
    set(CPACK_PACKAGE_VENDOR "${this_VENDOR}")
endif()
set(CPACK_PACKAGE_CONTACT "${FLASHTOOL_PROJECT_MAINTAINER}")
if(NOT this_MAINTAINER STREQUAL "")
    set(CPACK_PACKAGE_CONTACT "${this_MAINTAINER}")
endif()
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware ${FLASHTOOL_REVISION} for ${FLASHTOOL_MODEL} optical drives")
set(CPACK_PACKAGE_DESCRIPTION
    "${FLASHTOOL_PACKAGE} updates the firmware of a ${FLASHTOOL_MODEL} drive to\n"
    "revision ${FLASHTOOL_REVISION}, with the image it carries inside itself (one\n"
    "package per drive model and firmware release; they install side by side).\n"
    "${FLASHTOOL_PACKAGE}-emulated is the same program over emulated drives:\n"
    "it sends nothing to a drive, and replays the drives --record wrote.\n"
    "Before anything that changes the drive is sent, the build's rules\n"
    "are checked: the right model, the right brand, no downgrade, no disc in\n"
    "the tray and an intact image. Members of the cdrom group can use it\n"
    "without administrator rights.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${FLASHTOOL_PROJECT_HOMEPAGE}")
if(NOT this_HOMEPAGE STREQUAL "")
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${this_HOMEPAGE}")
endif()
# The libraries the program links, with the versions it needs, as dpkg-shlibdeps reads
# them from the binary.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

include(CPack)
