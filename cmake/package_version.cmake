# Read by cpack before it packs (CPACK_PROJECT_CONFIG_FILE, cmake/Packaging.cmake):
# names the package after the version the binaries were built as, which the
# build wrote into build_version.cmake (cmake/write_build_version.cmake). A
# package is never named after a newer configure than what it holds.
if(NOT EXISTS "${CPACK_VARNIX_BUILD_VERSION_CMAKE}")
  message(FATAL_ERROR "${CPACK_VARNIX_BUILD_VERSION_CMAKE} not found: build the tree before "
    "packing it (scripts/package.sh does)")
endif()
include("${CPACK_VARNIX_BUILD_VERSION_CMAKE}")
set(CPACK_PACKAGE_VERSION "${VARNIX_BUILT_VERSION}")
set(CPACK_DEBIAN_PACKAGE_VERSION "${VARNIX_BUILT_VERSION}")
if(CPACK_VARNIX_FILE_NAME_FORMAT)
  string(REPLACE "%VERSION%" "${VARNIX_BUILT_VERSION}" CPACK_PACKAGE_FILE_NAME
    "${CPACK_VARNIX_FILE_NAME_FORMAT}")
endif()
