# The toolkit-free core is one static library per subsystem, each linking only the layers it
# may use. The graph is also written out for the `layering` test, which holds every include of
# the core to it (cmake/CheckLayers.cmake).
set(QUARRY_LAYER_GRAPH "${PROJECT_BINARY_DIR}/quarry_layers.cmake")
set_property(GLOBAL PROPERTY QUARRY_CORE_LAYERS "")

# quarry_core_layer(NAME SOURCES src... [DEPENDS layer...]) adds the library quarry_<NAME>
# built from src/<NAME>/; DEPENDS names the layers below it, without the quarry_ prefix.
function(quarry_core_layer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(quarry_${name} STATIC ${ARG_SOURCES})
  target_include_directories(quarry_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  list(TRANSFORM ARG_DEPENDS PREPEND quarry_ OUTPUT_VARIABLE below)
  target_link_libraries(quarry_${name} PUBLIC quarry_options ${below})
  target_compile_definitions(quarry_${name} PRIVATE QUARRY_RESOURCE_SUBDIR="${QUARRY_RESOURCE_SUBDIR}")
  # Nothing in the core is Qt, so Qt's code generators have nothing to do there.
  set_target_properties(quarry_${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
  set_property(GLOBAL APPEND PROPERTY QUARRY_CORE_LAYERS ${name})
  set_property(GLOBAL PROPERTY QUARRY_LAYER_${name} ${ARG_DEPENDS})
endfunction()

# After every layer is declared: the umbrella quarry_core, the graph file and its test.
function(quarry_core_finish)
  get_property(layers GLOBAL PROPERTY QUARRY_CORE_LAYERS)
  add_library(quarry_core INTERFACE)
  set(graph "set(QUARRY_LAYERS ${layers})\n")
  foreach(layer IN LISTS layers)
    target_link_libraries(quarry_core INTERFACE quarry_${layer})
    get_property(below GLOBAL PROPERTY QUARRY_LAYER_${layer})
    string(APPEND graph "set(QUARRY_LAYER_${layer} ${below})\n")
  endforeach()
  file(GENERATE OUTPUT ${QUARRY_LAYER_GRAPH} CONTENT "${graph}")
  if(QUARRY_BUILD_TESTS)
    add_test(NAME layering COMMAND ${CMAKE_COMMAND} -DLAYER_GRAPH=${QUARRY_LAYER_GRAPH}
      -DSOURCE_DIR=${PROJECT_SOURCE_DIR}/src -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake)
  endif()
endfunction()
