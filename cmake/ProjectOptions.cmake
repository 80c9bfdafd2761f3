# Build policy shared by every target of the project.
add_library(quarry_options INTERFACE)
target_compile_features(quarry_options INTERFACE cxx_std_20)
# Qt and GoogleTest come in through imported targets, so their headers are system headers and
# these warnings stay about our own code.
target_compile_options(quarry_options INTERFACE
  $<$<CXX_COMPILER_ID:GNU,Clang,AppleClang>:-Wall -Wextra -Wpedantic -Wconversion -Wold-style-cast
  -Wshadow -Woverloaded-virtual>)

option(QUARRY_WERROR "Treat warnings as errors" OFF)
if(QUARRY_WERROR)
  target_compile_options(quarry_options INTERFACE -Werror)
endif()

set(QUARRY_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined or thread")
if(QUARRY_SANITIZE)
  target_compile_options(quarry_options INTERFACE -fsanitize=${QUARRY_SANITIZE} -fno-omit-frame-pointer)
  target_link_options(quarry_options INTERFACE -fsanitize=${QUARRY_SANITIZE})
endif()

# Fuzzing needs clang's libFuzzer; the whole core is instrumented so the fuzzer sees its coverage.
option(QUARRY_FUZZ "Build the libFuzzer targets under tests/fuzz (clang only)" OFF)
if(QUARRY_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QUARRY_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  target_compile_options(quarry_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
    -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(quarry_options INTERFACE -fsanitize=address,undefined)
endif()

# Registers a GoogleTest executable with CTest.
#   quarry_add_gtest(NAME SOURCES src... [LIBS lib...] [ENV VAR=value...])
function(quarry_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE quarry_core quarry_options GTest::gtest GTest::gtest_main GTest::gmock ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE
    QUARRY_TEST_CORPUS_DIR="${QUARRY_CORPUS_DIR}"
    QUARRY_TEST_RESOURCE_DIR="${QUARRY_BUILD_RESOURCE_DIR}"
    QUARRY_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    QUARRY_TEST_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "${ARG_ENV}")
endfunction()
