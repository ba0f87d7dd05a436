# The same commit gives the same bytes in any build directory, for the
# Windows binaries that are shipped: no build path in the objects (__FILE__,
# the debug information), no link time in the PE header, archives without
# dates or owners. The staged files and the release archive carry the last
# commit's time (SOURCE_DATE_EPOCH; cmake/stage.sh, scripts/release.sh).
if(WIN32)
  # GCC tries the later map first: the build tree lies inside the source tree.
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
                      -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()
