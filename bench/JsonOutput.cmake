# Runs a benchmark program with --benchmark_format=json (cmake -DPROGRAM=... -P this file)
# and fails unless it exits 0 and what it printed is a JSON document with its benchmarks:
# the form tools that compare benchmark runs read.
execute_process(COMMAND ${PROGRAM} --benchmark_min_time=0 --benchmark_format=json
                RESULT_VARIABLE status OUTPUT_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} exited with ${status}")
endif()
string(JSON count ERROR_VARIABLE error LENGTH "${output}" benchmarks)
if(error OR count EQUAL 0)
    message(FATAL_ERROR "not a JSON document with benchmarks (${error}):\n${output}")
endif()
string(JSON first GET "${output}" benchmarks 0 name)
message(STATUS "${count} benchmarks in JSON, the first ${first}")
