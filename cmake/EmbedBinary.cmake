# Writes a C++ source that holds the bytes of a file, exactly, as a constant array; run at
# build time as a script, so it works the same in a native and in a cross build:
#
#   cmake -DINPUT=file.bin -DOUTPUT=file.cpp -DNAME=kBytes -DHEADER=dir/Header.h
#         -DFUNCTION=Name -DNAMESPACE=ns -P EmbedBinary.cmake
#
# The bytes become one string literal of \xHH escapes (the compiler reads those far faster
# than a list of numbers); the function returns them as a span without the literal's zero.

cmake_minimum_required(VERSION 3.25)
foreach(var INPUT OUTPUT HEADER FUNCTION NAMESPACE)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "EmbedBinary.cmake: -D${var}=... is required")
    endif()
endforeach()
if(NOT EXISTS "${INPUT}")
    message(FATAL_ERROR "${INPUT}: no such file")
endif()

file(SIZE "${INPUT}" size)
file(READ "${INPUT}" hex HEX)
# 32 bytes a line (64 hex digits), then each pair of digits becomes \xHH.
string(REPEAT "[0-9a-f]" 64 line)
string(REGEX REPLACE "(${line})" "\\1\"\n    \"" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" hex "${hex}")

file(WRITE "${OUTPUT}"
"// Generated at build time by cmake/EmbedBinary.cmake from ${INPUT}; do not edit.\n"
"#include <cstdint>\n#include <span>\n\n#include \"${HEADER}\"\n\n"
"namespace ${NAMESPACE} {\n\nnamespace {\n"
"constexpr size_t kSize = ${size};\n"
"alignas(16) constexpr char kBytes[kSize + 1] =\n    \"${hex}\";\n"
"}  // namespace\n\n"
"std::span<const uint8_t> ${FUNCTION}() {\n"
"    return {reinterpret_cast<const uint8_t*>(kBytes), kSize};\n}\n\n"
"}  // namespace ${NAMESPACE}\n")
