# flashtool_add_test(NAME SOURCES ... LIBS ...): one GoogleTest program, its tests
# registered with ctest one by one.
if(FLASHTOOL_BUILD_TESTS)
    find_package(GTest REQUIRED)
    include(GoogleTest)
endif()

function(flashtool_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 300)
endfunction()
