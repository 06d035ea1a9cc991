# varnix_add_gtest(NAME name SOURCES ... [LIBS ...] [TIMEOUT s] [LABELS ...])
# One GoogleTest executable registered as one ctest test, always with a
# timeout so that a concurrency fault fails instead of hanging the run.
# Each test gets a scratch folder of its own (GoogleTest's TempDir() reads
# TEST_TMPDIR): ctest runs tests side by side, and two of them writing the
# same file name under /tmp once made one read the other's half-written file.
function(varnix_add_gtest)
  cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE varnix_includes GTest::gtest GTest::gtest_main ${ARG_LIBS})
  # In the sanitizer builds a test's own code compiles at -O0, in half the
  # time of -O1 (acquisition_loop_test.cpp under ASan: 8.9 s against 17.1 s);
  # the code under test keeps -O1.
  if(NOT VARNIX_SANITIZE STREQUAL "")
    target_compile_options(${ARG_NAME} PRIVATE -O0)
  endif()
  set(scratch ${CMAKE_BINARY_DIR}/test-scratch/${ARG_NAME})
  file(MAKE_DIRECTORY ${scratch})
  add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${ARG_NAME} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}"
    ENVIRONMENT "VARNIX_SOURCE_DIR=${CMAKE_SOURCE_DIR};VARNIX_BIN_DIR=${CMAKE_BINARY_DIR}/bin;TEST_TMPDIR=${scratch}")
endfunction()
