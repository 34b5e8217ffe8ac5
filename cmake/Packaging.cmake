# The release archives, made by CPack (ZIP) into ${CMAKE_BINARY_DIR}/packages:
#   Product.Console-<version>-win64.zip                       the console and its tools
#   Product.Console-<version>-win64-with-simulated-agent.zip  the same, with the agent stand-ins
# and beside each, <archive>-debug.zip with the debug information that the
# archive's binaries are stripped of. `cmake --build <build> --target packages`
# makes them; with the tests, the fixture tests package.* do the same from the
# built tree. The version is the project's, and nothing else carries its own.
include_guard(GLOBAL)

set(PRODUCT_PACKAGE_NAME Product.Console)
set(PRODUCT_PACKAGE_BASE "${PRODUCT_PACKAGE_NAME}-${PROJECT_VERSION}-win64")
set(PRODUCT_PACKAGE_DIR "${CMAKE_BINARY_DIR}/packages")
set(_files "${CMAKE_BINARY_DIR}/packaging")

# What each component ships. "console" is the first archive; the second adds "agent".
set(PRODUCT_CONSOLE_TARGETS Product.Console TesJson guard-report ConsoleCancel)
set(PRODUCT_AGENT_TARGETS tesdk log cvch product_matrix_comm product_support telowprivilegeworker)

# Version resources: every binary of ours carries the project's version
# (TesJson.dll is JsonCpp's and keeps none).
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
endfunction()

product_version_resource(Product.Console "Agent command-line console")
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

# Licences of the third-party code linked into the binaries: the Debian
# copyright files of the sources built here, and of the MinGW-w64 runtime
# (C runtime start-up, mingwex, winpthreads) and GCC's runtime (libstdc++,
# libgcc) that -static links in.
set(_licences
  "JsonCpp|${DEPS_SOURCE_DIR}/libjsoncpp/debian/copyright"
  "fmt|${DEPS_SOURCE_DIR}/fmtlib/debian/copyright"
  "Zydis|${DEPS_SOURCE_DIR}/zydis/debian/copyright"
  "MinGW-w64-runtime|/usr/share/doc/mingw-w64-x86-64-dev/copyright"
  "GCC-runtime|/usr/share/doc/gcc-mingw-w64-base/copyright")
# Zycore (headers only in the hooking engine's decoder): its source package's
# copyright file, or, where only its headers were fetched, their licence block.
if(EXISTS "${DEPS_SOURCE_DIR}/zycore-c/debian/copyright")
  list(APPEND _licences "Zycore|${DEPS_SOURCE_DIR}/zycore-c/debian/copyright")
else()
  file(READ "${DEPS_SOURCE_DIR}/zycore-c/include/Zycore/Zycore.h" _header)
  string(REGEX MATCH "/\\*+\n(.*SOFTWARE\\.)\n" _block "${_header}")
  string(REGEX REPLACE "\n \\* ?" "\n" _block "${CMAKE_MATCH_1}")
  string(STRIP "${_block}" _block)
  file(WRITE "${_files}/Zycore-licence.txt" "${_block}\n")
  list(APPEND _licences "Zycore|${_files}/Zycore-licence.txt")
endif()
set(PRODUCT_LICENCE_FILES)
foreach(_entry ${_licences})
  string(REPLACE "|" ";" _entry "${_entry}")
  list(GET _entry 0 _name)
  list(GET _entry 1 _source)
  if(NOT EXISTS "${_source}")
    message(FATAL_ERROR "Missing the licence of ${_name}: ${_source}")
  endif()
  product_windows_text("${_source}" "${_files}/licenses/${_name}.txt")
  list(APPEND PRODUCT_LICENCE_FILES "${_files}/licenses/${_name}.txt")
endforeach()

# Install rules of the archives only: `cmake --install` (the demo) leaves them out.
install(TARGETS ${PRODUCT_CONSOLE_TARGETS} RUNTIME DESTINATION . COMPONENT console EXCLUDE_FROM_ALL)
install(FILES "${_files}/README.txt" "${_files}/commands.md" "${_files}/console-output.schema.json"
        DESTINATION . COMPONENT console EXCLUDE_FROM_ALL)
install(FILES ${PRODUCT_LICENCE_FILES} DESTINATION licenses COMPONENT console EXCLUDE_FROM_ALL)
install(TARGETS ${PRODUCT_AGENT_TARGETS} RUNTIME DESTINATION . COMPONENT agent EXCLUDE_FROM_ALL)
install(FILES "${_files}/install-demo.cmd" "${_files}/uninstall-demo.cmd" DESTINATION . COMPONENT agent EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ${PRODUCT_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_PACKAGE_DIRECTORY "${PRODUCT_PACKAGE_DIR}")
set(CPACK_PACKAGE_FILE_NAME "${PRODUCT_PACKAGE_BASE}-with-simulated-agent")
set(CPACK_COMPONENTS_ALL console agent)
# One archive of the chosen components, in a folder named like the archive.
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_OBJCOPY "${CMAKE_OBJCOPY}")
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/PackageDebugInfo.cmake")
set(CPACK_POST_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/PackageDebugInfo.cmake")
# CPack installs from the built tree and builds nothing itself.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)

# The two archives, one cpack run each ($<SEMICOLON> keeps a component list one argument).
set(_archives
  "console|${PRODUCT_PACKAGE_BASE}|console"
  "with_simulated_agent|${PRODUCT_PACKAGE_BASE}-with-simulated-agent|console$<SEMICOLON>agent")
set(_commands)
foreach(_entry ${_archives})
  string(REPLACE "|" ";" _entry "${_entry}")
  list(GET _entry 0 _test)
  list(GET _entry 1 _archive)
  list(GET _entry 2 _components)
  set(_cpack ${CMAKE_CPACK_COMMAND} --config "${CMAKE_BINARY_DIR}/CPackConfig.cmake"
             -D "CPACK_PACKAGE_FILE_NAME=${_archive}" -D "CPACK_COMPONENTS_ALL=${_components}")
  list(APPEND _commands COMMAND ${_cpack})
  if(PRODUCT_BUILD_TESTS)
    # Fixture of the package tests; one run at a time (they share the staging
    # folder of the debug information and the install manifests).
    add_test(NAME package.${_test} COMMAND ${_cpack})
    set_tests_properties(package.${_test} PROPERTIES FIXTURES_SETUP package TIMEOUT 300
                         RESOURCE_LOCK cpack_staging)
  endif()
endforeach()
add_custom_target(packages ${_commands}
  WORKING_DIRECTORY "${CMAKE_BINARY_DIR}" VERBATIM
  COMMENT "Release archives in ${PRODUCT_PACKAGE_DIR}")
add_dependencies(packages ${PRODUCT_CONSOLE_TARGETS} ${PRODUCT_AGENT_TARGETS})
