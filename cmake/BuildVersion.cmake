# The build's version in the binaries. The version is project(... VERSION)
# in the top CMakeLists.txt; the commit comes from git at every build
# (cmake/write_build_version.cmake). Both reach:
#   - contract/build_version.h, generated into the build folder: the target
#     varnix_build_version gives its include path and makes sure it is
#     written before anything that includes it compiles;
#   - the module and the station library, through varnix_stamp_version():
#     an ELF note on Linux (contract/version_note.h), a version resource on
#     Windows (cmake/version_resource.rc.in) that Explorer and hosts read;
#   - build_version.cmake in the build folder, which packaging reads
#     (cmake/Packaging.cmake), so a package is named after what it holds.

set(VARNIX_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(VARNIX_BUILD_VERSION_HEADER ${VARNIX_GENERATED_DIR}/contract/build_version.h)
set(VARNIX_BUILD_VERSION_CMAKE ${CMAKE_BINARY_DIR}/build_version.cmake)
set(write_build_version
  ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUTPUT=${VARNIX_BUILD_VERSION_HEADER}
  -DPACKAGE_OUTPUT=${VARNIX_BUILD_VERSION_CMAKE} -DVERSION=${PROJECT_VERSION}
  -P ${CMAKE_SOURCE_DIR}/cmake/write_build_version.cmake)

# Once now, so that the files exist for the first build and for tools that
# read the configured tree; then at every build.
file(MAKE_DIRECTORY ${VARNIX_GENERATED_DIR}/contract)
execute_process(COMMAND ${write_build_version} COMMAND_ERROR_IS_FATAL ANY)
add_custom_target(varnix_build_version_files ALL
  COMMAND ${write_build_version}
  BYPRODUCTS ${VARNIX_BUILD_VERSION_HEADER} ${VARNIX_BUILD_VERSION_CMAKE}
  COMMENT "Build version: ${PROJECT_VERSION} and the commit"
  VERBATIM)

add_library(varnix_build_version INTERFACE)
target_include_directories(varnix_build_version INTERFACE ${VARNIX_GENERATED_DIR})
add_dependencies(varnix_build_version varnix_build_version_files)

# varnix_stamp_version(TARGET DESCRIPTION "text")
# Records the build's version in TARGET's file: an ELF note on Linux, a
# version resource (file and product version, product name, description,
# the commit) on Windows. Adds no export and no code that runs.
function(varnix_stamp_version target)
  cmake_parse_arguments(ARG "" "DESCRIPTION" "" ${ARGN})
  target_link_libraries(${target} PRIVATE varnix_build_version)
  if(WIN32)
    get_target_property(prefix ${target} PREFIX)
    get_target_property(suffix ${target} SUFFIX)
    get_target_property(name ${target} OUTPUT_NAME)
    foreach(part prefix suffix name)
      if(NOT ${part})
        set(${part} "")
      endif()
    endforeach()
    if(name STREQUAL "")
      set(name ${target})
    endif()
    if(suffix STREQUAL "")
      set(suffix ${CMAKE_SHARED_LIBRARY_SUFFIX})
    endif()
    set(VARNIX_RESOURCE_FILE_NAME "${prefix}${name}${suffix}")
    set(VARNIX_RESOURCE_DESCRIPTION "${ARG_DESCRIPTION}")
    set(resource ${VARNIX_GENERATED_DIR}/${target}_version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/version_resource.rc.in ${resource} @ONLY)
    target_sources(${target} PRIVATE ${resource})
    # The resource compiler's include scan may miss a generated header.
    set_source_files_properties(${resource} PROPERTIES OBJECT_DEPENDS ${VARNIX_BUILD_VERSION_HEADER})
  else()
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/contract/version_note.cpp)
  endif()
endfunction()
