# Writes ThisBuild() of data/BuildIdentity.h for one build; run at build time, after the
# region is packed, so that the digests are those of exactly the bytes the program carries
# and of the firmware they were packed from.
#
#   cmake -DREGION=stored-region.bin -DIMAGES=DIR -DOUTPUT=ThisBuild.cpp
#         -DDESCRIBED=description.cmake -DPACKAGE_VERSION=... -DPROGRAM_VERSION=...
#         -P WriteBuildIdentity.cmake
#
# DESCRIBED is the packer's description of the build (fwpack --check --describe); DIR holds
# the images fwpack packed (firmware-a.bin, firmware-b.bin): a firmware file's own bytes, or
# the image made from a recipe.
cmake_minimum_required(VERSION 3.25)
foreach(var REGION IMAGES OUTPUT DESCRIBED PACKAGE_VERSION PROGRAM_VERSION)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "WriteBuildIdentity.cmake: -D${var}=... is required")
    endif()
endforeach()
include(${DESCRIBED})
file(SHA256 ${REGION} digest)
set(PACKAGE "${FWPACK_PACKAGE}")
set(MODEL "${FWPACK_MODEL}")
set(REVISION "${FWPACK_REVISION}")
# Each firmware: {file as the build names it, digest, made from a recipe}; "" for none.
foreach(payload A B)
    string(TOLOWER ${payload} letter)
    set(FILE_${payload} "${FWPACK_FIRMWARE_${payload}}")
    set(DIGEST_${payload} "")
    set(MADE_${payload} false)
    if(NOT FILE_${payload} STREQUAL "")
        file(SHA256 ${IMAGES}/firmware-${letter}.bin DIGEST_${payload})
        if(FWPACK_FIRMWARE_${payload}_SYNTHETIC)
            set(MADE_${payload} true)
        endif()
    endif()
endforeach()
# The texts come from the packer, which takes printable ASCII only: only quotes and
# backslashes need escaping.
foreach(var PACKAGE PACKAGE_VERSION MODEL REVISION FILE_A FILE_B)
    string(REPLACE "\\" "\\\\" ${var} "${${var}}")
    string(REPLACE "\"" "\\\"" ${var} "${${var}}")
endforeach()
set(text "// Generated at build time by cmake/WriteBuildIdentity.cmake; do not edit.
#include \"data/BuildIdentity.h\"

namespace flashtool {

const BuildIdentity& ThisBuild() {
    static constexpr BuildIdentity kThisBuild{
        \"${PACKAGE}\", \"${PACKAGE_VERSION}\", \"${MODEL}\", \"${REVISION}\", \"${digest}\",
        \"${PROGRAM_VERSION}\", {{{\"${FILE_A}\", \"${DIGEST_A}\", ${MADE_A}},
                                 {\"${FILE_B}\", \"${DIGEST_B}\", ${MADE_B}}}}};
    return kThisBuild;
}

}  // namespace flashtool
")
# Written only when it changes, so an unchanged build compiles nothing again.
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} old)
    if(old STREQUAL text)
        return()
    endif()
endif()
file(WRITE ${OUTPUT} "${text}")
