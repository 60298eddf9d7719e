# Every JSON the program reads or writes (the scenario files, the history, the command line's
# documents) goes through Debian's header-only nlohmann-json, found here once for every folder.
# A cross build finds no package for its target; the headers are the same for every target, so
# they are copied from the host into the build folder (never the host's whole include folder,
# which would shadow the target's C library).
find_package(nlohmann_json 3.10 QUIET)
if(NOT nlohmann_json_FOUND)
    find_path(FLASHTOOL_NLOHMANN_INCLUDE nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH
              PATHS /usr/include /usr/local/include)
    if(NOT FLASHTOOL_NLOHMANN_INCLUDE)
        message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev")
    endif()
    set(nlohmann_copy ${CMAKE_BINARY_DIR}/nlohmann-json)
    file(COPY ${FLASHTOOL_NLOHMANN_INCLUDE}/nlohmann DESTINATION ${nlohmann_copy})
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${nlohmann_copy})
endif()
