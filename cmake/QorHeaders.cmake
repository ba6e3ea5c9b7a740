# qor_headers(TARGET SCOPE PATH...): what a target offers (SCOPE PUBLIC or
# INTERFACE) or uses itself (PRIVATE) to be included, folder by folder (or
# file by file) of the source tree. Sources include a header by its path in
# the tree ("platform/text.h"); the include folder handed to the compiler is
# build/include/TARGET, which holds links to the given paths only, so that a
# target sees the headers of the targets it links and its own, and nothing
# else: a layer cannot include a header of a layer above it.
function(qor_headers target scope)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  if(scope STREQUAL "PRIVATE")
    set(root ${root}.private)
  endif()
  foreach(path ${ARGN})
    set(link ${root}/${path})
    if(NOT IS_SYMLINK ${link})
      get_filename_component(parent ${link} DIRECTORY)
      file(MAKE_DIRECTORY ${parent})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${path} ${link} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()
