# Shared build rules: warnings, sanitizers and the helpers every folder uses.

add_compile_options(-Wall -Wextra)
if(PELLIX_WERROR)
  add_compile_options(-Werror)
endif()

if(PELLIX_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(PELLIX_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT PELLIX_SANITIZE STREQUAL "")
  message(FATAL_ERROR "PELLIX_SANITIZE must be empty, address or thread")
endif()

find_package(Threads REQUIRED)

# pellix_library(<name> SOURCES <files...> [DEPS <targets...>])
# A library whose headers are included by their path from the project root.
function(pellix_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# pellix_test(<name> SOURCES <files...> [DEPS <targets...>])
# One GoogleTest program per source folder; each case becomes one CTest test.
function(pellix_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} pellix_testsupport GTest::gtest GTest::gmock)
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "PELLIX_FIXTURES=${PROJECT_SOURCE_DIR}/tests/fixtures")
endfunction()

# pellix_bench(<name> SOURCES <files...> [DEPS <targets...>])
function(pellix_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
endfunction()

# pellix_fuzzer(<name> SOURCES <files...> [DEPS <targets...>])
# With clang the target is a libFuzzer program; otherwise it is built with a small
# driver that replays the kept inputs of fuzz/corpus/<name>, run as a test.
function(pellix_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND PELLIX_LIBFUZZER)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    if(PELLIX_BUILD_TESTS)
      add_test(NAME fuzz_replay.${name}
        COMMAND ${name} ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
    endif()
  endif()
endfunction()

# The libFuzzer build instruments every library for coverage.
if(PELLIX_LIBFUZZER)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
