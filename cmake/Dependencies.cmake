# Third-party code, built from the Debian source packages that
# scripts/fetch-sources.sh unpacks into .cache/src. Nothing third-party is kept
# in the repository.
set(DEPS_SOURCE_DIR "${PROJECT_SOURCE_DIR}/.cache/src" CACHE PATH "Unpacked dependency sources")
include(${CMAKE_CURRENT_LIST_DIR}/Reproducible.cmake)
foreach(dep libjsoncpp fmtlib googletest)
  if(dep STREQUAL googletest)
    set(_dir /usr/src/googletest)
  else()
    set(_dir "${DEPS_SOURCE_DIR}/${dep}")
  endif()
  if(NOT EXISTS "${_dir}/CMakeLists.txt")
    message(FATAL_ERROR "Missing ${_dir}: run scripts/setup.sh first")
  endif()
endforeach()

# Third-party code is compiled without our warning flags.
function(third_party_target target)
  set_target_properties(${target} PROPERTIES CXX_CLANG_TIDY "" C_CLANG_TIDY "")
  target_compile_options(${target} PRIVATE -w)
endfunction()

# JsonCpp as the shared library TesJson.dll: the console and the telemetry
# plug-in exchange Json::Value objects, so both must use one implementation
# and one heap.
set(_json "${DEPS_SOURCE_DIR}/libjsoncpp")
add_library(TesJson SHARED
  ${_json}/src/lib_json/json_reader.cpp
  ${_json}/src/lib_json/json_value.cpp
  ${_json}/src/lib_json/json_writer.cpp)
target_include_directories(TesJson SYSTEM PUBLIC ${_json}/include)
target_compile_definitions(TesJson PRIVATE JSON_DLL_BUILD INTERFACE JSON_DLL)
set_target_properties(TesJson PROPERTIES PREFIX "" OUTPUT_NAME TesJson)
third_party_target(TesJson)
add_library(jsoncpp::jsoncpp ALIAS TesJson)

# {fmt}, static.
set(_fmt "${DEPS_SOURCE_DIR}/fmtlib")
add_library(fmt STATIC ${_fmt}/src/format.cc ${_fmt}/src/os.cc)
target_include_directories(fmt SYSTEM PUBLIC ${_fmt}/include)
third_party_target(fmt)
add_library(fmt::fmt ALIAS fmt)

include(${CMAKE_CURRENT_LIST_DIR}/Zydis.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/Benchmark.cmake)

# GoogleTest and GoogleMock from the Debian package's sources.
if(PRODUCT_BUILD_TESTS)
  set(_gt /usr/src/googletest)
  add_library(gtest STATIC ${_gt}/googletest/src/gtest-all.cc ${_gt}/googlemock/src/gmock-all.cc)
  target_include_directories(gtest SYSTEM PUBLIC
    ${_gt}/googletest/include ${_gt}/googlemock/include
    PRIVATE ${_gt}/googletest ${_gt}/googlemock)
  third_party_target(gtest)
  add_library(gtest_main STATIC ${_gt}/googlemock/src/gmock_main.cc)
  target_link_libraries(gtest_main PUBLIC gtest)
  third_party_target(gtest_main)
endif()
