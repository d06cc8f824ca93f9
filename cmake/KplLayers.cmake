# The engine's code is built as layers, one object library per source folder
# (detect/ holds two), each allowed to include and link only the layers it
# names. A layer sees headers through an include root of its own, made of
# links to its headers alone, so a wrong-way include ("archive/" including
# "engine/") is a compile error rather than a convention.
#
#   kpl_layer(NAME kpl_x DIR x [SOURCES ...] [HEADERS ...] [DEPS ...])
#
# Without SOURCES and HEADERS the layer takes every .cpp and .h of DIR.
# kpl_core, a static library of every layer's objects, is what the shared
# engine, the tests and the fuzz targets link.
function(kpl_layer)
  cmake_parse_arguments(L "" "NAME;DIR" "SOURCES;HEADERS;DEPS" ${ARGN})
  set(dir ${CMAKE_SOURCE_DIR}/${L_DIR})
  if(NOT L_SOURCES AND NOT L_HEADERS)
    file(GLOB L_SOURCES CONFIGURE_DEPENDS ${dir}/*.cpp)
    file(GLOB L_HEADERS CONFIGURE_DEPENDS ${dir}/*.h)
  endif()
  if(L_SOURCES)
    add_library(${L_NAME} OBJECT ${L_SOURCES})
    set(scope PUBLIC)
  else()
    add_library(${L_NAME} INTERFACE)  # a folder with no code yet
    set(scope INTERFACE)
  endif()
  set(root ${CMAKE_BINARY_DIR}/layers/${L_NAME})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${L_DIR})
  foreach(h ${L_HEADERS})
    get_filename_component(name ${h} NAME)
    file(CREATE_LINK ${h} ${root}/${L_DIR}/${name} SYMBOLIC)
  endforeach()
  target_include_directories(${L_NAME} ${scope} ${root})
  target_link_libraries(${L_NAME} ${scope} ${L_DEPS})
  if(L_SOURCES)
    target_link_libraries(${L_NAME} PRIVATE kpl_warnings)
    target_compile_definitions(${L_NAME} PRIVATE KPL_ENGINE_BUILD=1)  # KPL_API exports get default visibility
  endif()
  set_property(GLOBAL APPEND PROPERTY KPL_LAYERS ${L_NAME})
endfunction()
