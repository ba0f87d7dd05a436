# The project's version in the programs: Version.h for --version, and a
# VERSIONINFO resource in each Windows binary, which Explorer's Details tab,
# GetFileVersionInfo and Windows Installer's file-replacement rules read.
set(TAV_GENERATED ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in ${TAV_GENERATED}/Version.h @ONLY)

# tav_version_resource(TARGET FILE DESCRIPTION)
function(tav_version_resource target file description)
  target_include_directories(${target} PRIVATE ${TAV_GENERATED})
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(TAV_FILE_TYPE VFT_DLL)
  else()
    set(TAV_FILE_TYPE VFT_APP)
  endif()
  set(TAV_FILE_NAME ${file})
  get_filename_component(TAV_INTERNAL_NAME ${file} NAME_WE)
  set(TAV_FILE_DESCRIPTION ${description})
  configure_file(${CMAKE_SOURCE_DIR}/cmake/VersionInfo.rc.in ${TAV_GENERATED}/${target}-version.rc @ONLY)
  target_sources(${target} PRIVATE ${TAV_GENERATED}/${target}-version.rc)
endfunction()
