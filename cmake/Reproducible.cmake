# No build paths in the binaries or their debug information, for every target,
# third-party ones included: the source, dependency and build folders are
# recorded under fixed names. GCC applies the last matching map, and the build
# folder may lie inside the source folder. (Time stamps: see the linker flags.)
add_compile_options(
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${DEPS_SOURCE_DIR}=./.cache/src>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=./build>")
