# Turns the product tables in data/ into C++ constant tables. Run at build time as a script,
# so it works the same in a native and in a cross build:
#
#   cmake -DFAMILIES=families.txt -DMODELS=models.txt -DOEM_REVISIONS=oem-revisions.txt
#         -DFACTORY_REVISIONS=factory-revisions.txt -DOUTPUT_DIR=dir -P ProductTables.cmake
#
# Writes ModelTableData.inc and FactoryRevisionData.inc into OUTPUT_DIR. A malformed file
# stops the build with "file:line: what is wrong". Rows keep their order; texts are copied
# byte for byte (identifications are matched exactly, so nothing is trimmed or folded).
#
# Table syntax: one row a line; blank lines and lines starting with # are skipped; columns
# are separated by blanks; a column holding blanks is written in double quotes.

cmake_minimum_required(VERSION 3.25)

foreach(var FAMILIES MODELS OEM_REVISIONS FACTORY_REVISIONS OUTPUT_DIR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "ProductTables.cmake: -D${var}=... is required")
    endif()
endforeach()

# The reason goes out as one raw line (a fatal error's text is re-wrapped and its blanks
# squeezed, which would hide what is wrong with an identification); then the script stops.
function(table_error file line text)
    message(NOTICE "${file}:${line}: error: ${text}")
    message(FATAL_ERROR "malformed product table: ${file}")
endfunction()

function(file_error file text)
    message(NOTICE "${file}: error: ${text}")
    message(FATAL_ERROR "malformed product table: ${file}")
endfunction()

# Reads `file` into `<prefix>_count` rows; row k has `<prefix>_<k>_line` (its line number),
# `<prefix>_<k>_n` (its column count) and `<prefix>_<k>_<c>` (column c, quotes removed).
function(read_table file prefix)
    if(NOT EXISTS "${file}")
        file_error("${file}" "no such table file")
    endif()
    file(READ "${file}" content)
    # CMake lists cannot carry these characters, so they are swapped for a control byte
    # before the lines are split; no row needs them, and in a comment they do no harm.
    string(ASCII 1 placeholder)
    foreach(bad "\\" ";" "[" "]")
        string(REPLACE "${bad}" "${placeholder}" content "${content}")
    endforeach()
    string(REPLACE "\r" "" content "${content}")
    string(REPLACE "\n" ";" lines "${content}")
    set(line 0)
    set(count 0)
    foreach(text IN LISTS lines)
        math(EXPR line "${line} + 1")
        if(text MATCHES "^[ \t]*(#.*)?$")
            continue()
        endif()
        string(FIND "${text}" "${placeholder}" at)
        if(at GREATER_EQUAL 0)
            table_error("${file}" ${line} "the characters ; [ ] and \\ are not allowed in a row")
        endif()
        if(NOT text MATCHES "^[ \t]*((\"[^\"]*\"|[^ \t\"]+)[ \t]*)+$")
            table_error("${file}" ${line} "unbalanced double quote")
        endif()
        string(REGEX MATCHALL "\"[^\"]*\"|[^ \t\"]+" tokens "${text}")
        set(column 0)
        foreach(token IN LISTS tokens)
            if(token MATCHES "^\"(.*)\"$")
                set(token "${CMAKE_MATCH_1}")
            endif()
            if(NOT token MATCHES "^[ -~]*$")
                table_error("${file}" ${line} "column ${column} holds a byte outside printable ASCII")
            endif()
            set(${prefix}_${count}_${column} "${token}" PARENT_SCOPE)
            math(EXPR column "${column} + 1")
        endforeach()
        set(${prefix}_${count}_n ${column} PARENT_SCOPE)
        set(${prefix}_${count}_line ${line} PARENT_SCOPE)
        math(EXPR count "${count} + 1")
    endforeach()
    set(${prefix}_count ${count} PARENT_SCOPE)
endfunction()

macro(expect_columns file prefix k wanted what)
    if(NOT ${prefix}_${k}_n EQUAL ${wanted})
        table_error("${file}" ${${prefix}_${k}_line}
                    "expected ${wanted} columns (${what}), found ${${prefix}_${k}_n}")
    endif()
endmacro()

macro(expect_identification file prefix k column)
    string(LENGTH "${${prefix}_${k}_${column}}" length)
    if(NOT length EQUAL 24)
        table_error("${file}" ${${prefix}_${k}_line}
                    "identification \"${${prefix}_${k}_${column}}\" has ${length} characters, not 24")
    endif()
endmacro()

macro(expect_family file prefix k column)
    if(NOT "${${prefix}_${k}_${column}}" IN_LIST family_codes)
        table_error("${file}" ${${prefix}_${k}_line}
                    "unknown family code \"${${prefix}_${k}_${column}}\" (not in ${FAMILIES})")
    endif()
endmacro()

# Family codes.
read_table("${FAMILIES}" fam)
if(fam_count EQUAL 0)
    file_error("${FAMILIES}" "no family codes")
endif()
set(family_codes "")
set(out_families "")
math(EXPR last "${fam_count} - 1")
foreach(k RANGE ${last})
    expect_columns("${FAMILIES}" fam ${k} 1 "one family code")
    set(code "${fam_${k}_0}")
    if(NOT code MATCHES "^[A-Z0-9]+$")
        table_error("${FAMILIES}" ${fam_${k}_line} "family code \"${code}\" is not upper-case letters and digits")
    endif()
    string(LENGTH "${code}" length)
    if(length GREATER 7)
        table_error("${FAMILIES}" ${fam_${k}_line} "family code \"${code}\" is longer than 7 characters")
    endif()
    if(code IN_LIST family_codes)
        table_error("${FAMILIES}" ${fam_${k}_line} "family code \"${code}\" is listed twice")
    endif()
    list(APPEND family_codes "${code}")
    string(APPEND out_families "    \"${code}\",\n")
endforeach()

# Model table.
read_table("${MODELS}" model)
if(model_count EQUAL 0)
    file_error("${MODELS}" "the model table has no rows")
endif()
set(out_models "")
set(used_families "")
math(EXPR last "${model_count} - 1")
foreach(k RANGE ${last})
    expect_columns("${MODELS}" model ${k} 2 "identification, family")
    expect_identification("${MODELS}" model ${k} 0)
    expect_family("${MODELS}" model ${k} 1)
    list(APPEND used_families "${model_${k}_1}")
    string(APPEND out_models "    {\"${model_${k}_0}\", \"${model_${k}_1}\"},\n")
endforeach()
foreach(code IN LISTS family_codes)
    if(NOT code IN_LIST used_families)
        file_error("${FAMILIES}" "family code \"${code}\" is used by no row of ${MODELS}")
    endif()
endforeach()

# OEM revision table.
read_table("${OEM_REVISIONS}" oem)
set(out_oem "")
if(oem_count GREATER 0)
    math(EXPR last "${oem_count} - 1")
    foreach(k RANGE ${last})
        expect_columns("${OEM_REVISIONS}" oem ${k} 3 "identification, revision, family")
        expect_identification("${OEM_REVISIONS}" oem ${k} 0)
        if(NOT oem_${k}_1 MATCHES "^[!-~][!-~][!-~][!-~]$")
            table_error("${OEM_REVISIONS}" ${oem_${k}_line}
                        "revision \"${oem_${k}_1}\" is not 4 printable characters")
        endif()
        expect_family("${OEM_REVISIONS}" oem ${k} 2)
        string(APPEND out_oem "    {\"${oem_${k}_0}\", \"${oem_${k}_1}\", \"${oem_${k}_2}\"},\n")
    endforeach()
endif()

# Factory-revision acceptance list.
read_table("${FACTORY_REVISIONS}" fac)
set(out_factory "")
if(fac_count GREATER 0)
    math(EXPR last "${fac_count} - 1")
    foreach(k RANGE ${last})
        set(file "${FACTORY_REVISIONS}")
        expect_columns("${file}" fac ${k} 5 "identification, second identification or -, families, condition, value")
        expect_identification("${file}" fac ${k} 0)
        if(fac_${k}_1 STREQUAL "-")
            set(second "")
        else()
            expect_identification("${file}" fac ${k} 1)
            set(second "${fac_${k}_1}")
        endif()
        string(REPLACE "," ";" families "${fac_${k}_2}")
        list(LENGTH families family_count)
        if(family_count LESS 1 OR family_count GREATER 3)
            table_error("${file}" ${fac_${k}_line} "expected 1 to 3 comma-separated families")
        endif()
        set(family_list "")
        foreach(code IN LISTS families)
            if(NOT code IN_LIST family_codes)
                table_error("${file}" ${fac_${k}_line} "unknown family code \"${code}\" (not in ${FAMILIES})")
            endif()
            string(APPEND family_list "\"${code}\", ")
        endforeach()
        string(REGEX REPLACE ", $" "" family_list "${family_list}")
        if(fac_${k}_3 STREQUAL "brand")
            set(condition BrandExact)
        elseif(fac_${k}_3 STREQUAL "brand-upper")
            set(condition BrandUpper)
        elseif(fac_${k}_3 STREQUAL "revision")
            set(condition RevisionChars)
        else()
            table_error("${file}" ${fac_${k}_line}
                        "unknown condition \"${fac_${k}_3}\" (brand, brand-upper or revision)")
        endif()
        if(NOT fac_${k}_4 MATCHES "^[!-~][!-~]$")
            table_error("${file}" ${fac_${k}_line} "value \"${fac_${k}_4}\" is not 2 printable characters")
        endif()
        string(APPEND out_factory "    {\"${fac_${k}_0}\", \"${second}\", {${family_list}},\n"
                                  "     FactoryCondition::${condition}, \"${fac_${k}_4}\"},\n")
    endforeach()
endif()

set(banner "// Generated at build time by cmake/ProductTables.cmake; do not edit.\n")
file(WRITE "${OUTPUT_DIR}/ModelTableData.inc"
     "${banner}// From ${FAMILIES}, ${MODELS} and ${OEM_REVISIONS}.\n\n"
     "constexpr std::array<std::string_view, ${fam_count}> kFamilyCodeRows = {{\n${out_families}}};\n\n"
     "constexpr std::array<ModelRow, ${model_count}> kModelRows = {{\n${out_models}}};\n\n"
     "constexpr std::array<OemRevisionRow, ${oem_count}> kOemRevisionRows = {{\n${out_oem}}};\n")
file(WRITE "${OUTPUT_DIR}/FactoryRevisionData.inc"
     "${banner}// From ${FACTORY_REVISIONS}.\n\n"
     "constexpr std::array<FactoryRevisionRule, ${fac_count}> kFactoryRevisionRows = {{\n"
     "${out_factory}}};\n")
