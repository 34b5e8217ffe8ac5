# The console's layers: each is one folder of PRODUCT_LAYER_SOURCE_DIR (src/)
# and one static library, product_<layer>. The add_layer calls are the one
# place where the layer graph is written; everything else is made from them.
#
# - A layer's library exports only its own include root: a folder of the build
#   tree that holds nothing but a link named like the layer to the layer's
#   folder. "<layer>/…" resolves through it, no other folder of src/ does, so
#   the compiler cannot find a header of a layer that is not linked.
# - Every compile of our code runs through the layer check
#   (scripts/check_layers.py), which reads the compiler's dependency file and
#   fails the compile on any file of a layer the target may not use, however
#   the include was spelled.

# The check starts with every compile: the system's interpreter, not a version
# manager's wrapper script, which can cost more than the compile itself.
find_program(PRODUCT_CHECK_PYTHON python3 HINTS /usr/bin REQUIRED)
if(NOT DEFINED PRODUCT_LAYER_SOURCE_DIR)
  set(PRODUCT_LAYER_SOURCE_DIR ${PROJECT_SOURCE_DIR}/src)
endif()
set(PRODUCT_LAYER_CHECK ${CMAKE_CURRENT_LIST_DIR}/../scripts/check_layers.py)
cmake_path(NORMAL_PATH PRODUCT_LAYER_CHECK)
# The launcher the build was configured with (ccache), which runs after the check's.
set(PRODUCT_COMPILER_LAUNCHER_C "${CMAKE_C_COMPILER_LAUNCHER}")
set(PRODUCT_COMPILER_LAUNCHER_CXX "${CMAKE_CXX_COMPILER_LAUNCHER}")

# Compiles of `target` go through the layer check: it may read the files of the
# layers in `may_use`, and, for a layer's own library, its sources must lie in
# `own_layer`'s folder.
function(_layer_check target may_use own_layer)
  list(JOIN may_use "," layers)
  foreach(lang C CXX)
    set_property(TARGET ${target} PROPERTY ${lang}_COMPILER_LAUNCHER
      ${PRODUCT_CHECK_PYTHON} -S -E ${PRODUCT_LAYER_CHECK} ${target} ${PRODUCT_LAYER_SOURCE_DIR} "${layers}" "${own_layer}"
      -- ${PRODUCT_COMPILER_LAUNCHER_${lang}})
  endforeach()
endfunction()

# The layer a library name stands for (product_<layer> or its headers), or "".
function(_layer_of_library out library)
  set(${out} "" PARENT_SCOPE)
  string(REGEX REPLACE "_headers$" "" library "${library}")
  if(library MATCHES "^product_(.+)$")
    get_property(known GLOBAL PROPERTY PRODUCT_LAYER_${CMAKE_MATCH_1}_MAY_USE SET)
    if(known)
      set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
    endif()
  endif()
endfunction()

# The layers a target may read when it uses `layers`: them and all below them.
function(_layers_below out)
  set(closure)
  foreach(layer ${ARGN})
    get_property(known GLOBAL PROPERTY PRODUCT_LAYER_${layer}_MAY_USE SET)
    if(NOT known)
      message(FATAL_ERROR "No layer ${layer} (add_layer it before the layers and targets that use it)")
    endif()
    get_property(below GLOBAL PROPERTY PRODUCT_LAYER_${layer}_MAY_USE)
    list(APPEND closure ${below})
  endforeach()
  list(REMOVE_DUPLICATES closure)
  set(${out} ${closure} PARENT_SCOPE)
endfunction()

# add_layer(<layer> [USES <layer>...] [LINKS <target>...]): the layer of folder
# <layer>, built on the layers it USES, which must exist already (so the graph
# has no cycle), and linking the other libraries it needs.
function(add_layer name)
  cmake_parse_arguments(ARG "" "" "USES;LINKS" ${ARGN})
  if(NOT IS_DIRECTORY ${PRODUCT_LAYER_SOURCE_DIR}/${name})
    message(FATAL_ERROR "Layer ${name} has no folder ${PRODUCT_LAYER_SOURCE_DIR}/${name}")
  endif()
  _layers_below(below ${ARG_USES})
  set(may_use ${name} ${below})
  set_property(GLOBAL PROPERTY PRODUCT_LAYER_${name}_MAY_USE ${may_use})
  set_property(GLOBAL PROPERTY PRODUCT_LAYER_${name}_USES ${ARG_USES})
  set_property(GLOBAL APPEND PROPERTY PRODUCT_LAYERS ${name})

  set(root ${CMAKE_BINARY_DIR}/layer-roots/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PRODUCT_LAYER_SOURCE_DIR}/${name} ${root}/${name} SYMBOLIC)
  # The headers alone, for code outside the layers that is built against them
  # (the agent's stand-ins).
  add_library(product_${name}_headers INTERFACE)
  target_include_directories(product_${name}_headers INTERFACE ${root})
  set(uses_headers ${ARG_USES})
  list(TRANSFORM uses_headers REPLACE "(.+)" "product_\\1_headers")
  target_link_libraries(product_${name}_headers INTERFACE ${uses_headers})

  add_library(product_${name} STATIC)
  set(uses_libraries ${ARG_USES})
  list(TRANSFORM uses_libraries PREPEND product_)
  target_link_libraries(product_${name} PUBLIC product_${name}_headers ${uses_libraries} ${ARG_LINKS})
  set_target_properties(product_${name} PROPERTIES PRODUCT_LAYER ${name} PRODUCT_LAYER_USES "${ARG_USES}")
  _layer_check(product_${name} "${may_use}" ${name})
endfunction()

# use_layers(<target> [PUBLIC|PRIVATE|INTERFACE] <layer>...): the target links
# these layers' libraries, and may read their files and those of the layers
# below them. Linking a layer's library directly does the same.
function(use_layers target)
  _use(${target} "" ${ARGN})
endfunction()

# use_layer_headers(<target> [PUBLIC|PRIVATE|INTERFACE] <layer>...): the same
# with the headers only, no library.
function(use_layer_headers target)
  _use(${target} _headers ${ARGN})
endfunction()

function(_use target suffix)
  set(layers ${ARGN})
  set(scope PRIVATE)
  list(GET layers 0 first)
  if(first MATCHES "^(PUBLIC|PRIVATE|INTERFACE)$")
    set(scope ${first})
    list(POP_FRONT layers)
  endif()
  _layers_below(unused ${layers})  # fails on a name that is no layer
  list(TRANSFORM layers REPLACE "(.+)" "product_\\1${suffix}")
  target_link_libraries(${target} ${scope} ${layers})
endfunction()

# Every target that compiles code in the folders below this one (ours;
# third-party targets are made in the top folder itself) goes through the
# check: a layer's library with the layers below it, any other target with the
# layers it links directly (or their headers) and those below them, none when
# it links none. Called at the end, once every target exists.
function(check_layers_of_all_targets)
  get_property(folders DIRECTORY PROPERTY SUBDIRECTORIES)
  foreach(folder ${folders})
    _check_folder_targets(${folder})
  endforeach()
endfunction()

function(_check_folder_targets folder)
  get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
      continue()
    endif()
    get_target_property(own ${target} PRODUCT_LAYER)
    get_target_property(links ${target} LINK_LIBRARIES)
    if(NOT links)
      set(links)
    endif()
    set(linked)
    foreach(library ${links})
      _layer_of_library(layer "${library}")
      if(layer)
        list(APPEND linked ${layer})
      endif()
    endforeach()
    if(own)
      # A layer's graph is its add_layer call; a link added elsewhere must not widen it.
      get_target_property(uses ${target} PRODUCT_LAYER_USES)
      list(REMOVE_ITEM linked ${own} ${uses})
      if(linked)
        message(FATAL_ERROR "${target} links layer ${linked}: name the layers it uses in its add_layer call")
      endif()
    else()
      _layers_below(may_use ${linked})
      _layer_check(${target} "${may_use}" "")
    endif()
  endforeach()
  get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
  foreach(subfolder ${subfolders})
    _check_folder_targets(${subfolder})
  endforeach()
endfunction()

# Fails the configuration when a folder of src/ is no layer: the path of every
# file must tell its layer.
function(check_layer_folders)
  get_property(layers GLOBAL PROPERTY PRODUCT_LAYERS)
  file(GLOB entries LIST_DIRECTORIES true RELATIVE ${PRODUCT_LAYER_SOURCE_DIR} ${PRODUCT_LAYER_SOURCE_DIR}/*)
  foreach(entry ${entries})
    if(IS_DIRECTORY ${PRODUCT_LAYER_SOURCE_DIR}/${entry} AND NOT entry IN_LIST layers)
      message(FATAL_ERROR "${PRODUCT_LAYER_SOURCE_DIR}/${entry} is a folder of no layer (add_layer it)")
    endif()
  endforeach()
endfunction()

# Writes the layer graph, one line per layer from the top down: "<layer>: <the
# layers it uses>". The README's table and the tests are checked against it.
function(write_layer_graph file)
  get_property(layers GLOBAL PROPERTY PRODUCT_LAYERS)
  list(REVERSE layers)
  set(text "")
  foreach(layer ${layers})
    get_property(uses GLOBAL PROPERTY PRODUCT_LAYER_${layer}_USES)
    list(JOIN uses " " uses)
    string(APPEND text "${layer}: ${uses}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${file} CONTENT "${text}")
endfunction()
