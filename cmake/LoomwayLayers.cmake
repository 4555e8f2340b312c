# One static library per layer folder, made of every .cpp of the folder.
# Headers are included by their path from the repository root, for example
# "core/requestframer.h", so the root is each library's include folder, and
# that of whatever links it.
function(loomway_layer_library name dir)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# The layers (and other libraries) a layer builds on; whoever links the layer
# gets them too.
function(loomway_link name)
    target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()
