# Writes RELEASE-NOTES.txt of a build's release (scripts/release puts it beside the package
# and the zip): what the release is, the vendor's notes, and the digests to compare with
# `PACKAGE --version`, the About box and the zip's README.txt. Run at build time, after the
# region is packed.
#
#   cmake -DOUTPUT=RELEASE-NOTES.txt -DREGION=stored-region.bin -DIMAGES=DIR
#         -DDESCRIBED=description.cmake -DPACKAGE_VERSION=... -DPROGRAM_VERSION=...
#         -DARCH=amd64 -P WriteReleaseNotes.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var OUTPUT REGION IMAGES DESCRIBED PACKAGE_VERSION PROGRAM_VERSION ARCH)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "WriteReleaseNotes.cmake: -D${var}=... is required")
    endif()
endforeach()
include(${DESCRIBED})
set(package "${FWPACK_PACKAGE}")
set(text "${package} ${PACKAGE_VERSION}\n\n")
string(APPEND text "Firmware ${FWPACK_REVISION} for ${FWPACK_MODEL} drives, with flashtool "
                   "${PROGRAM_VERSION}.\n")
if(FWPACK_NOTE_COUNT GREATER 0)
    string(APPEND text "Released ${FWPACK_NOTES_DATE}.\n")
    foreach(i RANGE 1 ${FWPACK_NOTE_COUNT})
        string(REPLACE "\n" "\n  " note "${FWPACK_NOTE_${i}}")
        string(APPEND text "\n- ${note}\n")
    endforeach()
endif()
string(APPEND text "\nWhat the programs carry, as `${package} --version` shows it:\n\n")
foreach(payload A B)
    string(TOLOWER ${payload} letter)
    if(NOT FWPACK_FIRMWARE_${payload} STREQUAL "")
        file(SHA256 ${IMAGES}/firmware-${letter}.bin digest)
        if(FWPACK_FIRMWARE_${payload}_SYNTHETIC)
            string(APPEND text "firmware image sha256: ${digest}  made from "
                               "${FWPACK_FIRMWARE_${payload}}\n")
        else()
            string(APPEND text "firmware file sha256: ${digest}  ${FWPACK_FIRMWARE_${payload}}\n")
        endif()
    endif()
endforeach()
file(SHA256 ${REGION} region)
string(APPEND text "embedded image sha256: ${region}\n")
string(APPEND text "\nThe files (check them with `sha256sum -c SHA256SUMS`):\n\n"
    "${package}_${PACKAGE_VERSION}_${ARCH}.deb\n"
    "    The Debian package: ${package}, and ${package}-emulated over emulated drives.\n"
    "${package}-${PACKAGE_VERSION}-windows-x64.zip\n"
    "    The Windows programs: ${package}.exe and ${package}-emulated.exe.\n")
file(WRITE ${OUTPUT} "${text}")
