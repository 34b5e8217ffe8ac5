# Runs inside CPack (cmake/Packaging.cmake). Before the archive is made, every
# staged .exe and .dll is stripped, with its debug information kept in
# <file>.debug and a debug link to it left in the binary; after it is made, the
# .debug files go into <archive>-debug.zip, under the same top folder, so that
# unpacking both into one place puts each .debug file beside its binary.
set(_debug_root "${CPACK_TOPLEVEL_DIRECTORY}/debug-info")
set(_debug_dir "${_debug_root}/${CPACK_PACKAGE_FILE_NAME}")

if(NOT DEFINED CPACK_PACKAGE_FILES)
  file(REMOVE_RECURSE "${_debug_root}")
  file(MAKE_DIRECTORY "${_debug_dir}")
  file(GLOB_RECURSE _binaries LIST_DIRECTORIES false
       "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.exe" "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.dll")
  foreach(_binary ${_binaries})
    get_filename_component(_name "${_binary}" NAME)
    set(_debug "${_debug_dir}/${_name}.debug")
    execute_process(COMMAND "${CPACK_OBJCOPY}" --only-keep-debug "${_binary}" "${_debug}"
                    RESULT_VARIABLE _failed)
    if(NOT _failed)
      execute_process(COMMAND "${CPACK_OBJCOPY}" --strip-all "--add-gnu-debuglink=${_debug}" "${_binary}"
                      RESULT_VARIABLE _failed)
    endif()
    if(_failed)
      message(FATAL_ERROR "Cannot split the debug information of ${_binary}")
    endif()
  endforeach()
else()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf
                          "${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}-debug.zip" --format=zip
                          "${CPACK_PACKAGE_FILE_NAME}"
                  WORKING_DIRECTORY "${_debug_root}" RESULT_VARIABLE _failed)
  if(_failed)
    message(FATAL_ERROR "Cannot write ${CPACK_PACKAGE_FILE_NAME}-debug.zip")
  endif()
endif()
