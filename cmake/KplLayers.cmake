# The engine's code is built as layers, one object library per source folder,
# each allowed to include and link only the layers it names. A layer sees
# headers through an include root of its own, made of links to its headers
# alone, so a wrong-way include ("archive/" including "engine/") is a compile
# error rather than a convention. The programs beside the engine (tools/,
# tridlib/) get include roots the same way, holding only what they use.
#
#   kpl_layer(NAME kpl_x DIR x [DEPS ...])
#
# The layer takes every .cpp and .h of DIR: a new file belongs to the layer
# of the folder it is put in. kpl_core, a static library of every layer's
# objects, is what the shared engine, the tests and the fuzz targets link.

# Sets VAR to a new include root named NAME that holds links to the given
# headers (paths relative to the source tree, kept as they are: a root made
# of "common/limits.h" serves #include "common/limits.h" and nothing else).
function(kpl_include_root VAR NAME)
  set(root ${CMAKE_BINARY_DIR}/layers/${NAME})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  foreach(h ${ARGN})
    get_filename_component(dir ${h} DIRECTORY)
    file(MAKE_DIRECTORY ${root}/${dir})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${h} ${root}/${h} SYMBOLIC)
  endforeach()
  set(${VAR} ${root} PARENT_SCOPE)
endfunction()

# The headers of one source folder, as paths relative to the source tree.
function(kpl_folder_headers VAR DIR)
  file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/${DIR}/*.h)
  set(${VAR} ${headers} PARENT_SCOPE)
endfunction()

function(kpl_layer)
  cmake_parse_arguments(L "" "NAME;DIR" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${L_DIR}/*.cpp)
  if(sources)
    add_library(${L_NAME} OBJECT ${sources})
    set(scope PUBLIC)
  else()
    add_library(${L_NAME} INTERFACE)  # a folder with no code yet
    set(scope INTERFACE)
  endif()
  kpl_folder_headers(headers ${L_DIR})
  kpl_include_root(root ${L_NAME} ${headers})
  target_include_directories(${L_NAME} ${scope} ${root})
  target_link_libraries(${L_NAME} ${scope} ${L_DEPS})
  if(sources)
    target_link_libraries(${L_NAME} PRIVATE kpl_warnings)
    target_compile_definitions(${L_NAME} PRIVATE KPL_ENGINE_BUILD=1)  # KPL_API exports get default visibility
  endif()
  set_property(GLOBAL APPEND PROPERTY KPL_LAYERS ${L_NAME})
endfunction()
