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

# pellix_test(<name> [THREADS] SOURCES <files...> [DEPS <targets...>])
# One GoogleTest program per source folder; each case becomes one CTest test. THREADS
# marks a program whose tests run threads: its tests carry the label "threads", and
# the target thread_tests builds it (the ThreadSanitizer run takes those).
function(pellix_test name)
  cmake_parse_arguments(ARG "THREADS" "" "SOURCES;DEPS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} pellix_testsupport GTest::gtest GTest::gmock)
  include(GoogleTest)
  set(labels "")
  if(ARG_THREADS)
    set(labels threads)
  endif()
  # Parameterised cases are named by their generator or index, never by the bytes of
  # their parameter. The leak checker of a test, and of the programs it starts, knows
  # the libraries' own caches (a property of its own: discovered tests take one value
  # a property).
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT "PELLIX_FIXTURES=${PROJECT_SOURCE_DIR}/tests/fixtures"
               ENVIRONMENT_MODIFICATION "LSAN_OPTIONS=set:suppressions=${PROJECT_SOURCE_DIR}/tools/lsan.supp"
               LABELS "${labels}")
  if(ARG_THREADS)
    add_dependencies(thread_tests ${name})
  endif()
endfunction()

# pellix_bench(<name> SOURCES <files...> [DEPS <targets...>])
function(pellix_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
  # A brief run as a test, so that no benchmark stops working unnoticed; its figures
  # mean nothing (an instrumented build, and short runs).
  if(PELLIX_BENCH_SMOKE AND PELLIX_BUILD_TESTS)
    add_test(NAME ${name}.smoke COMMAND ${name} --benchmark_min_time=0.01)
    set_tests_properties(${name}.smoke PROPERTIES LABELS bench
      ENVIRONMENT_MODIFICATION "LSAN_OPTIONS=set:suppressions=${PROJECT_SOURCE_DIR}/tools/lsan.supp")
  endif()
endfunction()

# pellix_fuzzer(<name> SOURCES <files...> [DEPS <targets...>])
# With clang and PELLIX_LIBFUZZER the target is a libFuzzer program; otherwise it is
# built with a small driver. Either way a test replays the kept inputs of
# fuzz/corpus/<name>.
function(pellix_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  set(corpus ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND PELLIX_LIBFUZZER)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(replay ${name} -runs=0 ${corpus})  # runs every kept input, then stops
  else()
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    set(replay ${name} ${corpus})
  endif()
  if(PELLIX_BUILD_TESTS)
    add_test(NAME fuzz_replay.${name} COMMAND ${replay})
  endif()
endfunction()

# The libFuzzer build instruments every library for coverage.
if(PELLIX_LIBFUZZER)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# pellix_resources(<name> ENTRIES <type> <name> <file> [<type> <name> <file> ...])
# An object library that compiles the files into the program as resources of the
# given type and name (types RCDATA, BITMAP, ICON, HTML by their numbers, other types
# by their text), registered before main runs. Link it into the program or test.
function(pellix_resources target)
  cmake_parse_arguments(ARG "" "" "ENTRIES" ${ARGN})
  set(numbers_BITMAP 2)
  set(numbers_ICON 3)
  set(numbers_RCDATA 10)
  set(numbers_HTML 23)
  set(entries "")
  set(files "")
  list(LENGTH ARG_ENTRIES count)
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 3)
    math(EXPR n "${i} + 1")
    math(EXPR f "${i} + 2")
    list(GET ARG_ENTRIES ${i} type)
    list(GET ARG_ENTRIES ${n} resource)
    list(GET ARG_ENTRIES ${f} file)
    if(DEFINED numbers_${type})
      set(type "#${numbers_${type}}")
    endif()
    get_filename_component(file "${file}" ABSOLUTE)
    list(APPEND entries "${type}|${resource}|${file}")
    list(APPEND files "${file}")
  endforeach()
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_data.cpp)
  # The list goes through a file: names such as "#7" must not meet a shell.
  set(list_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_entries.txt)
  string(REPLACE ";" "\n" list_text "${entries}")
  file(GENERATE OUTPUT ${list_file} CONTENT "${list_text}\n")
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${output} -DLIST=${list_file} -P ${PROJECT_SOURCE_DIR}/cmake/EmbedResources.cmake
    DEPENDS ${files} ${list_file} ${PROJECT_SOURCE_DIR}/cmake/EmbedResources.cmake
    COMMENT "Embedding resources of ${target}")
  add_library(${target} OBJECT ${output})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC platform_kernel)
endfunction()
