# Writes the build's version header: the project's version, the commit the
# tree was built from and whether it had uncommitted changes. Run at every
# build (cmake -P), so a new commit reaches the binaries without a new
# configure; the header is rewritten only when its text changes, so an
# unchanged commit recompiles nothing.
#   cmake -DSOURCE_DIR=... -DOUTPUT=.../contract/build_version.h [-DPACKAGE_OUTPUT=...] -DVERSION=1.2.3 -P write_build_version.cmake
# Outside a git checkout (a source archive) the commit is "unknown".
foreach(required SOURCE_DIR OUTPUT VERSION)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "write_build_version.cmake: -D${required}=... is required")
  endif()
endforeach()

set(commit unknown)
set(dirty 0)
find_program(GIT_EXECUTABLE git)
if(GIT_EXECUTABLE)
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --show-toplevel
    OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE not_a_checkout
    ERROR_QUIET)
  # Only the project's own checkout counts, not one that happens to hold an
  # unpacked source archive somewhere below it.
  if(NOT not_a_checkout AND EXISTS "${top}/CMakeLists.txt")
    file(REAL_PATH "${top}" top)
    file(REAL_PATH "${SOURCE_DIR}" source)
    if(top STREQUAL source)
      execute_process(COMMAND ${GIT_EXECUTABLE} --no-optional-locks -C ${SOURCE_DIR} describe --tags --always --abbrev=12
        OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      # Untracked files (build folders, notes) do not make a tree dirty;
      # changes to tracked files do, staged or not. No optional locks: a
      # build never holds up the developer's own git commands.
      execute_process(COMMAND ${GIT_EXECUTABLE} --no-optional-locks -C ${SOURCE_DIR} status --porcelain
        --untracked-files=no OUTPUT_VARIABLE changes ERROR_QUIET)
      if(NOT changes STREQUAL "")
        set(dirty 1)
      endif()
    endif()
  endif()
endif()
if(commit STREQUAL "")
  set(commit unknown)
endif()

string(REGEX MATCH "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$" numbers "${VERSION}")
if(NOT numbers)
  message(FATAL_ERROR "write_build_version.cmake: VERSION must be MAJOR.MINOR.PATCH, got '${VERSION}'")
endif()
set(text "${VERSION}")
if(dirty)
  set(text "${VERSION}-dirty")
endif()

set(header "// Generated at build time by cmake/write_build_version.cmake; do not edit.
// Plain macros: C++ and the Windows resource compiler both read this file.
#pragma once
#define VARNIX_VERSION_MAJOR ${CMAKE_MATCH_1}
#define VARNIX_VERSION_MINOR ${CMAKE_MATCH_2}
#define VARNIX_VERSION_PATCH ${CMAKE_MATCH_3}
#define VARNIX_VERSION_TEXT \"${text}\"
#define VARNIX_VERSION_COMMIT \"${commit}\"
#define VARNIX_VERSION_DIRTY ${dirty}
")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL header)
  file(WRITE "${OUTPUT}" "${header}")
endif()
# What packaging reads (cmake/package_version.cmake): the same facts, as CMake.
if(DEFINED PACKAGE_OUTPUT)
  file(WRITE "${PACKAGE_OUTPUT}.tmp"
    "set(VARNIX_BUILT_VERSION \"${text}\")\nset(VARNIX_BUILT_COMMIT \"${commit}\")\n")
  file(COPY_FILE "${PACKAGE_OUTPUT}.tmp" "${PACKAGE_OUTPUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${PACKAGE_OUTPUT}.tmp")
endif()
