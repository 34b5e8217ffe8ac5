# Google Benchmark, static, from the Debian source package in .cache/src, for
# the microbenchmarks under bench/. Its own CMake project is left aside: it
# runs feature checks that cannot execute when cross-building, and everything
# it would detect is known for this toolchain.
option(PRODUCT_BUILD_BENCHMARKS "Build the microbenchmarks and the start-up harness programs" ON)
if(NOT PRODUCT_BUILD_BENCHMARKS)
  return()
endif()

set(_benchmark "${DEPS_SOURCE_DIR}/benchmark")
if(NOT EXISTS "${_benchmark}/src/benchmark.cc")
  message(FATAL_ERROR "Missing ${_benchmark}: run scripts/setup.sh first")
endif()

file(GLOB _benchmark_sources CONFIGURE_DEPENDS ${_benchmark}/src/*.cc)
list(REMOVE_ITEM _benchmark_sources ${_benchmark}/src/benchmark_main.cc)
add_library(benchmark STATIC ${_benchmark_sources})
target_include_directories(benchmark SYSTEM PUBLIC ${_benchmark}/include PRIVATE ${_benchmark}/src)
target_compile_definitions(benchmark
  PUBLIC BENCHMARK_STATIC_DEFINE
  PRIVATE HAVE_STD_REGEX HAVE_STEADY_CLOCK)
# Its wide-character build of the host name does not compile; it only
# needs the narrow one.
target_compile_options(benchmark PRIVATE -UUNICODE -U_UNICODE)
target_link_libraries(benchmark PRIVATE shlwapi)
third_party_target(benchmark)
add_library(benchmark::benchmark ALIAS benchmark)

add_library(benchmark_main STATIC ${_benchmark}/src/benchmark_main.cc)
target_link_libraries(benchmark_main PUBLIC benchmark)
third_party_target(benchmark_main)
add_library(benchmark::benchmark_main ALIAS benchmark_main)
