# What the Windows build takes from Debian beside MinGW-w64 itself: headers
# only (Boost's smart pointers, nlohmann-json for the station's profiles) and
# GoogleTest built from its sources. Every DLL and program links the C++
# runtime, libgcc and winpthreads statically, so it needs nothing beside it
# but Windows' own DLLs.

# Headers of header-only libraries, reached through a folder of links so that
# the rest of /usr/include (glibc's) stays out of the cross compiler's way.
set(VARNIX_HEADERS_ONLY ${CMAKE_BINARY_DIR}/headers-only)
file(MAKE_DIRECTORY ${VARNIX_HEADERS_ONLY})
foreach(library boost nlohmann)
  if(NOT EXISTS /usr/include/${library})
    message(FATAL_ERROR "/usr/include/${library} not found: install the Debian packages "
      "libboost-dev and nlohmann-json3-dev (scripts/build-windows.sh does)")
  endif()
  file(CREATE_LINK /usr/include/${library} ${VARNIX_HEADERS_ONLY}/${library} SYMBOLIC)
endforeach()

# Boost.Thread has no MinGW build in Debian: the Windows build takes only
# Boost's header libraries, and the platform layer uses the standard
# library's mutex and condition variable (platform/platform_windows.cpp).
add_library(varnix_boost INTERFACE)
target_include_directories(varnix_boost SYSTEM INTERFACE ${VARNIX_HEADERS_ONLY})

add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE ${VARNIX_HEADERS_ONLY})
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)

# The DLLs' version resources (cmake/BuildVersion.cmake), compiled by windres.
enable_language(RC)

set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

# Windows 10 APIs (WaitOnAddress, thread descriptions); no min/max macros.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 NOMINMAX)
add_link_options(-static)

# GoogleTest from Debian's sources (package googletest).
if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
  message(FATAL_ERROR "/usr/src/googletest not found: install the Debian package googletest "
    "(scripts/build-windows.sh does)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own sources are not held to our warnings. Its build names
# its targets GTest::gtest, GTest::gtest_main and GTest::gmock, as the
# Linux build's find_package does.
foreach(target gtest gtest_main gmock gmock_main)
  target_compile_options(${target} PRIVATE -w)
endforeach()

# How a test runs a Windows program whose path it names itself (the
# reference host): under Wine, quietly, in the build's own prefix. ctest
# runs the cross-built test programs the same way (CMAKE_CROSSCOMPILING_EMULATOR).
set(VARNIX_WINE_RUNNER ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
