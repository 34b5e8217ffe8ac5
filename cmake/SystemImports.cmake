# Where some Windows functions of the console are imported from. A DLL in the
# import table is loaded and initialised at every start, with everything it
# imports itself; shlwapi.dll, ole32.dll and winmm.dll each bring user32.dll
# and gdi32.dll along, which is most of a start of the console. So:
#
# - the shell path helpers, the version-resource functions and the registry,
#   token and security-descriptor functions come from their API sets, which
#   the system serves from kernelbase.dll, loaded in every process anyway (shlwapi.dll,
#   version.dll and advapi32.dll only forward them there);
# - ole32.dll (scan task identifiers) and winmm.dll (function timing of the
#   diagnostics log) are delay-loaded: mapped at the first call of one of
#   their functions instead of at every start.
#
# Each import library is made by dlltool from the list below; the console's
# code links them ahead of the system's import libraries, so that these
# functions bind here and nothing else changes.
function(add_system_import_library target dll)
  cmake_parse_arguments(ARG "DELAY" "" "FUNCTIONS" ${ARGN})
  set(dir ${CMAKE_BINARY_DIR}/system-imports)
  file(MAKE_DIRECTORY ${dir})
  string(REPLACE ";" "\n" exports "${ARG_FUNCTIONS}")
  file(WRITE ${dir}/${target}.def "LIBRARY ${dll}\nEXPORTS\n${exports}\n")
  if(ARG_DELAY)
    set(kind --output-delaylib)
  else()
    set(kind --output-lib)
  endif()
  # Run in its folder with relative names: dlltool names the library's symbols
  # after the output path, which would carry the build folder into the images.
  execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${target}.def ${kind} lib${target}.a
                  WORKING_DIRECTORY ${dir} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dlltool could not make the import library of ${dll}")
  endif()
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${dir}/lib${target}.a)
endfunction()

add_system_import_library(shell_path_functions api-ms-win-core-shlwapi-legacy-l1-1-0.dll
  FUNCTIONS PathAddBackslashW PathFileExistsW PathIsRelativeW PathRemoveFileSpecW)
add_system_import_library(version_functions api-ms-win-core-version-l1-1-0.dll
  FUNCTIONS GetFileVersionInfoSizeW GetFileVersionInfoW VerQueryValueW)
add_system_import_library(registry_functions api-ms-win-core-registry-l1-1-0.dll
  FUNCTIONS RegCloseKey RegOpenKeyExW RegQueryValueExW)
add_system_import_library(process_token_functions api-ms-win-core-processthreads-l1-1-0.dll
  FUNCTIONS OpenProcessToken)
add_system_import_library(token_information_functions api-ms-win-security-base-l1-1-0.dll
  FUNCTIONS GetTokenInformation AddAccessAllowedAceEx CreateWellKnownSid InitializeAcl
            InitializeSecurityDescriptor SetSecurityDescriptorControl SetSecurityDescriptorDacl)
add_system_import_library(ole32_delayed ole32.dll DELAY FUNCTIONS CoCreateGuid)
add_system_import_library(winmm_delayed winmm.dll DELAY FUNCTIONS timeGetTime)

add_library(system_imports INTERFACE)
target_link_libraries(system_imports INTERFACE shell_path_functions version_functions registry_functions
                      process_token_functions token_information_functions ole32_delayed winmm_delayed)
