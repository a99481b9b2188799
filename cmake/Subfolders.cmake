# add_each_subfolder(): adds every direct subfolder of the current folder that has a
# CMakeLists.txt, in name order (bench/, tools/ and fuzz/ hold one topic per subfolder).
function(add_each_subfolder)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
    ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
