# Writes the README.txt of a build's Windows zip, with Windows' line ends; run at build
# time, after the region is packed, so that the digests are those of what the programs carry.
#
#   cmake -DTEMPLATE=README.txt.in -DOUTPUT=README.txt -DREGION=stored-region.bin
#         -DIMAGES=DIR -DDESCRIBED=description.cmake -DPACKAGE_VERSION=... -DDRIVES=FILE
#         -P WriteWindowsReadme.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var TEMPLATE OUTPUT REGION IMAGES DESCRIBED PACKAGE_VERSION DRIVES)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "WriteWindowsReadme.cmake: -D${var}=... is required")
    endif()
endforeach()
include(${DESCRIBED})
include(${CMAKE_CURRENT_LIST_DIR}/ProductFiles.cmake)
set(PROGRAM "${FWPACK_PACKAGE}")
set(MODEL "${FWPACK_MODEL}")
set(REVISION "${FWPACK_REVISION}")
file(SHA256 ${REGION} REGION_SHA256)
# A vendor's firmware file by its digest, as sha256sum shows it, to compare with theirs.
set(FIRMWARE_LINES "")
foreach(payload A B)
    string(TOLOWER ${payload} letter)
    if(NOT FWPACK_FIRMWARE_${payload} STREQUAL "" AND NOT FWPACK_FIRMWARE_${payload}_SYNTHETIC)
        file(SHA256 ${IMAGES}/firmware-${letter}.bin digest)
        string(APPEND FIRMWARE_LINES
               "SHA-256 of the firmware file it was made from:\n"
               "    ${digest}  ${FWPACK_FIRMWARE_${payload}}\n")
    endif()
endforeach()
flashtool_drives_summary(${DRIVES} DRIVES)
configure_file(${TEMPLATE} ${OUTPUT}.lf @ONLY)
file(READ ${OUTPUT}.lf text)
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
file(REMOVE ${OUTPUT}.lf)
