# Fails when a source file includes a header of a layer above its own.
#
#   cmake -DROOT=<source tree> -P CheckIncludeLayers.cmake
#
# The program is built in layers, each using only the ones below it: core, the transport,
# the drive's command set, the image, the policy, the flash run, the history of runs, the dialog and its windows.
# A header that reaches up a layer makes a cycle waiting to happen and hides the layering
# from the next reader, so this check stops it at the first build. The table gives each
# folder its rank; a file may include its own folder and folders of a lower rank only.
# Folders of equal rank (the two transport back-ends, the policy and the emulator) stay
# apart. The terminal window sits below the Qt folder, whose mains choose between the two. Tools, tests and benchmarks sit on top and are not checked.
set(layers
    core 10
    transport 20
    transport/linux 25
    transport/windows 25
    drive 30
    image 40
    policy 50
    emulator 50
    data 50
    flash 60
    history 65
    app 70
    app/controls 75
    app/windows 75
    app/cli 75
    app/qt 80
    app/win32 80)

if(NOT ROOT)
    message(FATAL_ERROR "usage: cmake -DROOT=<source tree> -P CheckIncludeLayers.cmake")
endif()

# The folder of the table that holds PATH (the longest matching entry), or "" for none.
function(layer_of path out_folder out_rank)
    set(best "")
    set(best_rank "")
    list(LENGTH layers count)
    math(EXPR last "${count} - 1")
    foreach(i RANGE 0 ${last} 2)
        math(EXPR j "${i} + 1")
        list(GET layers ${i} folder)
        list(GET layers ${j} rank)
        string(LENGTH "${folder}" folder_length)
        string(LENGTH "${best}" best_length)
        if(path MATCHES "^${folder}/" AND folder_length GREATER best_length)
            set(best "${folder}")
            set(best_rank "${rank}")
        endif()
    endforeach()
    set(${out_folder} "${best}" PARENT_SCOPE)
    set(${out_rank} "${best_rank}" PARENT_SCOPE)
endfunction()

set(violations 0)
set(checked 0)
set(folders "")
list(LENGTH layers count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
    list(GET layers ${i} folder)
    list(APPEND folders ${folder})
endforeach()

foreach(folder IN LISTS folders)
    file(GLOB sources RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
    foreach(source IN LISTS sources)
        layer_of("${source}" own own_rank)
        if(NOT own STREQUAL folder)
            continue()  # a file of a deeper folder of the table is checked with that folder
        endif()
        math(EXPR checked "${checked} + 1")
        file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
            layer_of("${header}" target target_rank)
            if(target STREQUAL "")
                message("${source}: includes \"${header}\", which is not in a layer below ${own}")
                math(EXPR violations "${violations} + 1")
            elseif(NOT target STREQUAL own AND NOT target_rank LESS own_rank)
                message("${source}: includes \"${header}\": ${target} is not below ${own}")
                math(EXPR violations "${violations} + 1")
            endif()
        endforeach()
    endforeach()
endforeach()

if(checked EQUAL 0)
    message(FATAL_ERROR "no source files found under ${ROOT}")
endif()
if(violations GREATER 0)
    message(FATAL_ERROR "${violations} include(s) reach up a layer")
endif()
message("include layers: ${checked} files, every include goes down")
