# The release archives, made into ${CMAKE_BINARY_DIR}/packages/unsigned:
#   Product.Console-<version>-win64.zip                       the console and its tools
#   Product.Console-<version>-win64-with-simulated-agent.zip  the same, with the agent stand-ins
# each with <archive>-debug.zip (the debug information its binaries are
# stripped of) and <archive>.spdx.json (its bill of materials, also inside it).
# `cmake --build <build> --target packages` makes them (scripts/release/
# make_archives.py, from the install rules below); scripts/package.sh checks
# that a second build gives the same bytes, then signs them into packages/.
# With the tests, the fixture tests package.* do the same from the built tree.
# The version is the project's, and nothing else carries its own.
include_guard(GLOBAL)

set(PRODUCT_PACKAGE_NAME Product.Console)
set(PRODUCT_PACKAGE_BASE "${PRODUCT_PACKAGE_NAME}-${PROJECT_VERSION}-win64")
set(PRODUCT_PACKAGE_DIR "${CMAKE_BINARY_DIR}/packages")
set(PRODUCT_UNSIGNED_DIR "${PRODUCT_PACKAGE_DIR}/unsigned")
set(_files "${CMAKE_BINARY_DIR}/packaging")

# What each component ships. "console" is the first archive; the second adds "agent".
set(PRODUCT_CONSOLE_TARGETS Product.Console TesJson guard-report ConsoleCancel)
set(PRODUCT_AGENT_TARGETS tesdk log cvch product_matrix_comm product_support telowprivilegeworker)

# Version resources: every binary of the archives carries the project's version.
# The descriptions also go into the bill of materials.
function(product_version_resource target description)
  get_target_property(_name ${target} OUTPUT_NAME)
  if(NOT _name)
    set(_name ${target})
  endif()
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "EXECUTABLE")
    set(VERSION_FILE_TYPE VFT_APP)
    set(VERSION_FILE_NAME "${_name}.exe")
  else()
    set(VERSION_FILE_TYPE VFT_DLL)
    set(VERSION_FILE_NAME "${_name}.dll")
  endif()
  set(VERSION_DESCRIPTION "${description}")
  set(VERSION_INTERNAL_NAME "${_name}")
  set(_rc "${CMAKE_BINARY_DIR}/version/${target}.rc")
  configure_file("${PROJECT_SOURCE_DIR}/src/console/version.rc.in" "${_rc}" @ONLY)
  target_sources(${target} PRIVATE "${_rc}")
  set_property(GLOBAL APPEND PROPERTY PRODUCT_BINARY_DESCRIPTIONS "${VERSION_FILE_NAME}|${description}")
endfunction()

product_version_resource(Product.Console "Agent command-line console")
product_version_resource(TesJson "JSON library of the console and its plug-in (JsonCpp)")
product_version_resource(guard-report "DLL load guard report reader")
product_version_resource(ConsoleCancel "Cancels the commands of running consoles")
product_version_resource(tesdk "Agent integration library (simulated agent)")
product_version_resource(log "Agent logging library (simulated agent)")
product_version_resource(cvch "Agent crash handler (simulated agent)")
product_version_resource(product_matrix_comm "Agent telemetry plug-in (simulated agent)")
product_version_resource(product_support "Support-session history runner (simulated agent)")
product_version_resource(telowprivilegeworker "Support-session history worker (simulated agent)")

# Text for Windows users: CR LF line ends (cmd.exe misreads batch files without them).
function(product_windows_text source destination)
  file(READ "${source}" _text)
  string(REPLACE "\r\n" "\n" _text "${_text}")
  string(REPLACE "\n" "\r\n" _text "${_text}")
  file(WRITE "${destination}" "${_text}")
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
endfunction()

configure_file("${PROJECT_SOURCE_DIR}/packaging/README.txt.in" "${_files}/README.txt" @ONLY NEWLINE_STYLE CRLF)
product_windows_text("${PROJECT_SOURCE_DIR}/packaging/install-demo.cmd" "${_files}/install-demo.cmd")
product_windows_text("${PROJECT_SOURCE_DIR}/packaging/uninstall-demo.cmd" "${_files}/uninstall-demo.cmd")
# The operator's reference and the schema of the JSON output it describes.
product_windows_text("${PROJECT_SOURCE_DIR}/docs/commands.md" "${_files}/commands.md")
product_windows_text("${PROJECT_SOURCE_DIR}/docs/console-output.schema.json" "${_files}/console-output.schema.json")

# The third-party code compiled into the binaries, one line each:
#   name | where its code comes from | SPDX licence | its licence text [| package of its headers]
# "source:<package>" is a Debian source package fetched into .cache/src;
# "package:<package>" an installed Debian package: the MinGW-w64 runtime (C
# runtime start-up, mingwex, winpthreads) and GCC's (libstdc++, libgcc), which
# -static links in. The archives' licence files and their bills of materials
# are both made from this one list.
# Zycore (headers only in the hooking engine's decoder): its source package's
# copyright file, or, where only its headers were fetched, their licence block.
if(EXISTS "${DEPS_SOURCE_DIR}/zycore-c/debian/copyright")
  set(_zycore_licence "${DEPS_SOURCE_DIR}/zycore-c/debian/copyright")
else()
  file(READ "${DEPS_SOURCE_DIR}/zycore-c/include/Zycore/Zycore.h" _header)
  string(REGEX MATCH "/\\*+\n(.*SOFTWARE\\.)\n" _block "${_header}")
  string(REGEX REPLACE "\n \\* ?" "\n" _block "${CMAKE_MATCH_1}")
  string(STRIP "${_block}" _block)
  file(WRITE "${_files}/Zycore-licence.txt" "${_block}\n")
  set(_zycore_licence "${_files}/Zycore-licence.txt")
endif()
set(PRODUCT_THIRD_PARTY
  "JsonCpp|source:libjsoncpp|MIT|${DEPS_SOURCE_DIR}/libjsoncpp/debian/copyright"
  "fmt|source:fmtlib|MIT|${DEPS_SOURCE_DIR}/fmtlib/debian/copyright"
  "Zydis|source:zydis|MIT|${DEPS_SOURCE_DIR}/zydis/debian/copyright"
  "Zycore|source:zycore-c|MIT|${_zycore_licence}|libzycore-dev"
  "MinGW-w64-runtime|package:mingw-w64-x86-64-dev|ZPL-2.1 AND MIT AND BSD-3-Clause AND LicenseRef-MinGW-w64-runtime-other|/usr/share/doc/mingw-w64-x86-64-dev/copyright"
  "GCC-runtime|package:g++-mingw-w64-x86-64-posix|GPL-3.0-or-later WITH GCC-exception-3.1|/usr/share/doc/gcc-mingw-w64-base/copyright")

# A JSON string of a text.
function(product_json_string out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

set(PRODUCT_LICENCE_FILES)
set(_third_party "[]")
foreach(_entry ${PRODUCT_THIRD_PARTY})
  string(REPLACE "|" ";" _entry "${_entry}")
  list(GET _entry 0 _name)
  list(GET _entry 1 _origin)
  list(GET _entry 2 _licence)
  list(GET _entry 3 _source)
  if(NOT EXISTS "${_source}")
    message(FATAL_ERROR "Missing the licence of ${_name}: ${_source}")
  endif()
  product_windows_text("${_source}" "${_files}/licenses/${_name}.txt")
  list(APPEND PRODUCT_LICENCE_FILES "${_files}/licenses/${_name}.txt")
  set(_component "{}")
  foreach(_field name origin licence)
    product_json_string(_value "${_${_field}}")
    string(JSON _component SET "${_component}" ${_field} "${_value}")
  endforeach()
  product_json_string(_value "licenses/${_name}.txt")
  string(JSON _component SET "${_component}" licence_file "${_value}")
  list(LENGTH _entry _fields)
  if(_fields GREATER 4)
    list(GET _entry 4 _headers)
    product_json_string(_value "${_headers}")
    string(JSON _component SET "${_component}" headers_package "${_value}")
  endif()
  string(JSON _at LENGTH "${_third_party}")
  string(JSON _third_party SET "${_third_party}" ${_at} "${_component}")
endforeach()

# Install rules of the archives only: `cmake --install` (the demo) leaves them out.
install(TARGETS ${PRODUCT_CONSOLE_TARGETS} RUNTIME DESTINATION . COMPONENT console EXCLUDE_FROM_ALL)
install(FILES "${_files}/README.txt" "${_files}/commands.md" "${_files}/console-output.schema.json"
        DESTINATION . COMPONENT console EXCLUDE_FROM_ALL)
install(FILES ${PRODUCT_LICENCE_FILES} DESTINATION licenses COMPONENT console EXCLUDE_FROM_ALL)
install(TARGETS ${PRODUCT_AGENT_TARGETS} RUNTIME DESTINATION . COMPONENT agent EXCLUDE_FROM_ALL)
install(FILES "${_files}/install-demo.cmd" "${_files}/uninstall-demo.cmd" DESTINATION . COMPONENT agent EXCLUDE_FROM_ALL)

# The description of the release for scripts/release/make_archives.py.
set(_archives
  "${PRODUCT_PACKAGE_BASE}|console"
  "${PRODUCT_PACKAGE_BASE}-with-simulated-agent|console,agent")
set(_release "{}")
foreach(_field product version source_dir deps_dir build_dir output_dir cmake objcopy)
  set(_value_product "${PRODUCT_PACKAGE_NAME}")
  set(_value_version "${PROJECT_VERSION}")
  set(_value_source_dir "${PROJECT_SOURCE_DIR}")
  set(_value_deps_dir "${DEPS_SOURCE_DIR}")
  set(_value_build_dir "${CMAKE_BINARY_DIR}")
  set(_value_output_dir "${PRODUCT_UNSIGNED_DIR}")
  set(_value_cmake "${CMAKE_COMMAND}")
  set(_value_objcopy "${CMAKE_OBJCOPY}")
  product_json_string(_value "${_value_${_field}}")
  string(JSON _release SET "${_release}" ${_field} "${_value}")
endforeach()
set(_list "[]")
foreach(_entry ${_archives})
  string(REGEX REPLACE "[|,]" ";" _entry "${_entry}")
  list(POP_FRONT _entry _name)
  set(_components "[]")
  foreach(_component ${_entry})
    product_json_string(_value "${_component}")
    string(JSON _at LENGTH "${_components}")
    string(JSON _components SET "${_components}" ${_at} "${_value}")
  endforeach()
  product_json_string(_value "${_name}")
  string(JSON _at LENGTH "${_list}")
  string(JSON _list SET "${_list}" ${_at} "{\"name\": ${_value}, \"components\": ${_components}}")
endforeach()
string(JSON _release SET "${_release}" archives "${_list}")
string(JSON _release SET "${_release}" third_party "${_third_party}")
set(_descriptions "{}")
get_property(_binaries GLOBAL PROPERTY PRODUCT_BINARY_DESCRIPTIONS)
foreach(_entry ${_binaries})
  string(REPLACE "|" ";" _entry "${_entry}")
  list(GET _entry 0 _name)
  list(GET _entry 1 _description)
  product_json_string(_value "${_description}")
  string(JSON _descriptions SET "${_descriptions}" "${_name}" "${_value}")
endforeach()
string(JSON _release SET "${_release}" descriptions "${_descriptions}")
set(PRODUCT_RELEASE_FILE "${_files}/release.json")
file(WRITE "${PRODUCT_RELEASE_FILE}" "${_release}\n")

find_program(PRODUCT_PYTHON python3 REQUIRED)
set(_make_archives "${PRODUCT_PYTHON}" "${PROJECT_SOURCE_DIR}/scripts/release/make_archives.py"
                   "${PRODUCT_RELEASE_FILE}")
add_custom_target(packages COMMAND ${_make_archives}
  WORKING_DIRECTORY "${CMAKE_BINARY_DIR}" VERBATIM
  COMMENT "Unsigned release archives in ${PRODUCT_UNSIGNED_DIR}")
add_dependencies(packages ${PRODUCT_CONSOLE_TARGETS} ${PRODUCT_AGENT_TARGETS})

if(PRODUCT_BUILD_TESTS)
  # Fixture of the package tests: the archives of the tested build, signed
  # with a throw-away certificate (a test build never uses a real one).
  add_test(NAME package.archives COMMAND ${_make_archives})
  add_test(NAME package.sign
           COMMAND ${CMAKE_COMMAND} -E env --unset=PRODUCT_SIGNING_PKCS12 --unset=PRODUCT_SIGNING_PASSWORD
                   "${PRODUCT_PYTHON}" "${PROJECT_SOURCE_DIR}/scripts/release/sign_archives.py"
                   "${PRODUCT_UNSIGNED_DIR}" "${PRODUCT_PACKAGE_DIR}")
  set_tests_properties(package.archives package.sign PROPERTIES FIXTURES_SETUP package TIMEOUT 300
                       RESOURCE_LOCK packaging)
  set_tests_properties(package.sign PROPERTIES DEPENDS package.archives)
endif()
