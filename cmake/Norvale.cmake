# Shared build helpers. Each subsystem folder owns its CMakeLists.txt and uses
# these so that warnings, sanitizers and output folders stay uniform.

set(NORVALE_WARNINGS -Wall -Wextra -Wpedantic)
if(NORVALE_WERROR)
  list(APPEND NORVALE_WARNINGS -Werror)
endif()

if(NORVALE_SANITIZE)
  add_compile_options(-fsanitize=${NORVALE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${NORVALE_SANITIZE})
endif()
if(NORVALE_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()

# The generated version header: NORVALE_VERSION_MAJOR ... _BUILD.
configure_file(${PROJECT_SOURCE_DIR}/cmake/Version.h.in ${PROJECT_BINARY_DIR}/generated/Version.h @ONLY)

function(norvale_add_subdirectory_if_present dir)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

# norvale_library(NAME [SOURCES files...] [LIBS libs...])
# Without SOURCES every .cpp of the current folder is compiled. Headers are
# included from the project root ("upnp/stack/EventChain.h").
function(norvale_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_compile_options(${name} PRIVATE ${NORVALE_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# norvale_program(NAME SOURCES files... [LIBS libs...])
function(norvale_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_compile_options(${name} PRIVATE ${NORVALE_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# Every test program runs in a private loopback-only network namespace of its
# own, so tests may open sockets, bind fixed ports and play devices on
# 127.0.0.x without meeting the tests that run beside them.
set(NORVALE_NETNS_RUN "${PROJECT_SOURCE_DIR}/../shared/tools/netns-run" CACHE FILEPATH
    "Runs a command in a loopback-only network namespace")

# norvale_test(NAME [SOURCES files...] [LIBS libs...] [TIMEOUT s])
# One test program, one ctest entry. Without SOURCES every .cpp of the
# current folder is compiled.
function(norvale_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_compile_options(${name} PRIVATE ${NORVALE_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  if(EXISTS ${NORVALE_NETNS_RUN})
    add_test(NAME ${name} COMMAND ${NORVALE_NETNS_RUN} $<TARGET_FILE:${name}>)
  else()
    # Never run a test on the real network: without the namespace runner the
    # test fails with a note instead.
    add_test(NAME ${name} COMMAND sh -c "echo '${NORVALE_NETNS_RUN} not found: tests run only in a loopback-only namespace' >&2; exit 1")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;NORVALE_SOURCE_DIR=${PROJECT_SOURCE_DIR};NORVALE_BIN_DIR=${PROJECT_BINARY_DIR}/bin;NORVALE_NETNS_RUN=${NORVALE_NETNS_RUN}")
endfunction()

# norvale_bench(NAME SOURCES files... [LIBS libs...])
function(norvale_bench name)
  if(NOT NORVALE_BENCH)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_compile_options(${name} PRIVATE ${NORVALE_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark Threads::Threads)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
endfunction()

# norvale_fuzz(NAME SOURCES files... [LIBS libs...])
# A libFuzzer target; its seed corpus lives in fuzz/corpus/NAME.
function(norvale_fuzz name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Threads::Threads)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzz)
endfunction()
