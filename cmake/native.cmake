# Native Linux tree: the core under sanitizers, unit tests, fuzzers, benchmarks and the two tools.
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

add_core_library(tallowin_core)

# The same core instrumented with AddressSanitizer and UndefinedBehaviorSanitizer for the tests.
set(SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_core_library(tallowin_core_checked)
target_compile_options(tallowin_core_checked PUBLIC ${SANITIZE_FLAGS} -O1 -g)
target_link_options(tallowin_core_checked PUBLIC ${SANITIZE_FLAGS})

add_executable(core_tests
  tests/unit/protocol_test.cpp
  tests/unit/decode_test.cpp
  tests/unit/settings_test.cpp
  tests/unit/poll_test.cpp
  tests/unit/layout_test.cpp
  tests/unit/history_test.cpp
  tests/unit/order_test.cpp
  tests/unit/accessible_test.cpp
  tests/unit/commands_test.cpp
  tests/unit/alerts_test.cpp
  tests/unit/deliver_test.cpp
  tests/unit/answers.cpp)
target_link_libraries(core_tests PRIVATE tallowin_core_checked GTest::gtest_main)
target_compile_definitions(core_tests PRIVATE TALLOWIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_test(NAME core_tests COMMAND core_tests)

# Counting allocations needs the plain allocator, so this one runs without sanitizers.
add_executable(decode_alloc_test tests/unit/decode_alloc_test.cpp tests/unit/answers.cpp)
target_link_libraries(decode_alloc_test PRIVATE tallowin_core GTest::gtest)
add_test(NAME decode_alloc_test COMMAND decode_alloc_test)

find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(history_bench tests/bench/history_bench.cpp)
  target_link_libraries(history_bench PRIVATE tallowin_core benchmark::benchmark)
  target_compile_options(history_bench PRIVATE -O2)
  add_executable(decode_bench tests/bench/decode_bench.cpp tests/unit/answers.cpp)
  target_link_libraries(decode_bench PRIVATE tallowin_core benchmark::benchmark)
  target_compile_options(decode_bench PRIVATE -O2)
  add_executable(alerts_bench tests/bench/alerts_bench.cpp)
  target_link_libraries(alerts_bench PRIVATE tallowin_core benchmark::benchmark)
endif()

set(FUZZ_SECONDS 20 CACHE STRING "How long each fuzzer runs under ctest")
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set(FUZZ_SOURCES_http query/http.cpp)
  foreach(target dispatch decode settings history history_sealed http)
    string(REPLACE "_sealed" "" source ${target})
    add_executable(fuzz_${target} tests/fuzz/fuzz_${source}.cpp ${CORE_SOURCES} ${FUZZ_SOURCES_${target}})
    target_include_directories(fuzz_${target} PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_options(fuzz_${target} PRIVATE -fsanitize=fuzzer,address,undefined -g -O1)
    if(target MATCHES "_sealed$")
      target_compile_definitions(fuzz_${target} PRIVATE SEAL_CRC)
    endif()
    target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer,address,undefined)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/corpus/${target})
    add_test(NAME fuzz_${target}
      COMMAND fuzz_${target} -max_total_time=${FUZZ_SECONDS} -print_final_stats=0
              ${CMAKE_BINARY_DIR}/corpus/${target} ${CMAKE_SOURCE_DIR}/tests/fuzz/seeds/${target})
  endforeach()
endif()

include(cmake/tools.cmake)

# The built-in scenario is the shipped default file, compiled in.
file(READ ${CMAKE_SOURCE_DIR}/tools/statusd/scenarios/default.json DEFAULT_SCENARIO)
set(GENERATED ${CMAKE_BINARY_DIR}/generated)
file(CONFIGURE OUTPUT ${GENERATED}/tools/statusd/default_scenario.h
  CONTENT "// The simulator's built-in scenario (generated from scenarios/default.json).\nconst char* const DEFAULT_SCENARIO_JSON = R\"json(\${DEFAULT_SCENARIO})json\";\n")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/statusd/scenarios/default.json)

add_executable(tallowin-statusd tools/statusd/statusd.cpp tools/statusd/scenario.cpp query/text.cpp)
target_compile_definitions(tallowin-statusd PRIVATE TALLOWIN_VERSION="${PROJECT_VERSION}")
target_include_directories(tallowin-statusd PRIVATE ${CMAKE_SOURCE_DIR} ${TOOL_HEADERS} ${GENERATED})
target_link_libraries(tallowin-statusd PRIVATE tallowin_core)

add_executable(statusd_tests tests/unit/scenario_test.cpp tests/unit/query_test.cpp tests/unit/exporter_test.cpp
  tests/unit/answers.cpp tools/statusd/scenario.cpp ${QUERY_CORE})
target_include_directories(statusd_tests PRIVATE ${CMAKE_SOURCE_DIR} ${TOOL_HEADERS} ${GENERATED})
target_link_libraries(statusd_tests PRIVATE tallowin_core_checked GTest::gtest_main)
add_test(NAME statusd_tests COMMAND statusd_tests)

find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME tools_loopback
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/e2e/tools_test.py
            --statusd $<TARGET_FILE:tallowin-statusd> --query $<TARGET_FILE:tallowin-query>)
  add_test(NAME serve_prometheus
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/e2e/serve_test.py
            --statusd $<TARGET_FILE:tallowin-statusd> --query $<TARGET_FILE:tallowin-query>
            --rules ${CMAKE_SOURCE_DIR}/deploy/prometheus/tallowin-rules.yml)
  set_tests_properties(serve_prometheus PROPERTIES TIMEOUT 300)
  # The release step's rules (tools/release/release.py).
  add_test(NAME release_rules COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/unit/release_test.py)
endif()

# The shipped alerting rules: well formed, and each proven on series that fire it and series that do not.
add_test(NAME prometheus_rules COMMAND promtool check rules ${CMAKE_SOURCE_DIR}/deploy/prometheus/tallowin-rules.yml)
add_test(NAME prometheus_rules_test COMMAND promtool test rules tallowin-rules.test.yml
         WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/deploy/prometheus)
