# Each folder of the C++ tree is one static library, its layer. What a layer links is
# what its sources may include (docs/architecture.md), so that a wrong-way include
# shows as a missing dependency as well as in the test layers.includes.
#
#   pagewick_layer(<name> [EXCLUDE <file>...] LINKS <target>...)
#
# builds pagewick_<name> from the folder's *.cpp files (picked up as they are added),
# less the EXCLUDEd ones.
function(pagewick_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "EXCLUDE;LINKS")
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(excluded IN LISTS layer_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  add_library(pagewick_${name} STATIC ${sources})
  target_link_libraries(pagewick_${name} PUBLIC ${layer_LINKS})
endfunction()
