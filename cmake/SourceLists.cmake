# The source files of the libraries that are also compiled outside the main build: by the
# host tools' own project in a cross build (tools/fwpack) and by the clang fuzz targets
# (tests/fuzz). Each library's list lives here once, so that a file added to a library
# reaches those builds too. Absolute paths; the generated family traits table comes from
# flashtool_product_tables() (cmake/HostTools.cmake) and is not listed.
get_filename_component(flashtool_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# core: the platform's single-instance lock comes on top (core/CMakeLists.txt).
set(FLASHTOOL_CORE_SOURCES
    ${flashtool_root}/core/Clock.cpp ${flashtool_root}/core/Diagnostics.cpp
    ${flashtool_root}/core/Format.cpp ${flashtool_root}/core/WriteWindow.cpp)
set(FLASHTOOL_CHECKSUMS_SOURCES ${flashtool_root}/image/Checksums.cpp)
set(FLASHTOOL_BUILDCONFIG_SOURCES
    ${flashtool_root}/image/BuildConfig.cpp ${flashtool_root}/image/FamilyTraits.cpp)
set(FLASHTOOL_IMAGE_SOURCES
    ${flashtool_root}/image/FirmwareImage.cpp ${flashtool_root}/image/StoredRegion.cpp
    ${flashtool_root}/image/PayloadCheck.cpp)
