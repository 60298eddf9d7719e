# flashtool_add_test(NAME SOURCES ... LIBS ...): one GoogleTest program, its tests
# registered with ctest one by one.
#
# A cross build (Windows with mingw-w64) finds no installed GoogleTest for its target, so it
# builds GoogleTest from the sources Debian's googletest package installs. Its test programs
# run through CMAKE_CROSSCOMPILING_EMULATOR (wine), where every start costs time: each
# program is then one ctest entry that runs all of its tests in one go.
if(FLASHTOOL_BUILD_TESTS)
    find_package(GTest QUIET)
    if(NOT GTest_FOUND)
        set(FLASHTOOL_GOOGLETEST_SOURCE /usr/src/googletest
            CACHE PATH "GoogleTest sources, built when no installed GoogleTest is found")
        if(NOT EXISTS ${FLASHTOOL_GOOGLETEST_SOURCE}/CMakeLists.txt)
            message(FATAL_ERROR "GoogleTest not found: install libgtest-dev and libgmock-dev, "
                                "or the googletest sources (FLASHTOOL_GOOGLETEST_SOURCE)")
        endif()
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        add_subdirectory(${FLASHTOOL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest
                         EXCLUDE_FROM_ALL SYSTEM)
    endif()
    include(GoogleTest)
endif()

#
# LABELS go to each of its tests: "threads" marks the suites that start threads, which
# scripts/test also runs under ThreadSanitizer.
function(flashtool_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    if(WIN32)
        # A Windows build leaves out the test programs of libraries it does not build.
        foreach(lib IN LISTS ARG_LIBS)
            if(NOT TARGET ${lib})
                message(STATUS "${name} left out of this build: it needs ${lib}")
                return()
            endif()
        endforeach()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    set(properties TIMEOUT 300)
    if(ARG_LABELS)
        list(APPEND properties LABELS "${ARG_LABELS}")
    endif()
    if(CMAKE_CROSSCOMPILING_EMULATOR)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES ${properties})
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES ${properties})
    endif()
endfunction()
