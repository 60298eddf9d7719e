# Writes ThisBuild() of data/BuildIdentity.h for one build; run at build time, after the
# region is packed, so that the digest is that of exactly the bytes the program carries.
#
#   cmake -DREGION=stored-region.bin -DOUTPUT=ThisBuild.cpp -DPACKAGE=... -DPACKAGE_VERSION=...
#         -DMODEL=... -DREVISION=... -DPROGRAM_VERSION=... -P WriteBuildIdentity.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var REGION OUTPUT PACKAGE PACKAGE_VERSION MODEL REVISION PROGRAM_VERSION)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "WriteBuildIdentity.cmake: -D${var}=... is required")
    endif()
endforeach()
file(SHA256 ${REGION} digest)
# The texts come from build.txt, which holds printable ASCII: only quotes and backslashes
# need escaping.
foreach(var PACKAGE PACKAGE_VERSION MODEL REVISION)
    string(REPLACE "\\" "\\\\" ${var} "${${var}}")
    string(REPLACE "\"" "\\\"" ${var} "${${var}}")
endforeach()
set(text "// Generated at build time by cmake/WriteBuildIdentity.cmake; do not edit.
#include \"data/BuildIdentity.h\"

namespace flashtool {

const BuildIdentity& ThisBuild() {
    static constexpr BuildIdentity kThisBuild{\"${PACKAGE}\", \"${PACKAGE_VERSION}\", \"${MODEL}\",
                                              \"${REVISION}\", \"${digest}\", \"${PROGRAM_VERSION}\"};
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
