# Runs the reference host once under Wine and checks its exit code and one
# line of what it printed (stdout or stderr), exactly or by a regular
# expression anchored to a whole line with ^ and $. Lists are passed with
# "|" between their items.
#   cmake -DRUNNER=wine-run.sh -DHOST=reference_host.exe -DARGUMENTS=a|b -DEXPECT_EXIT=1|3
#         [-DEXPECT_LINE=text] [-DEXPECT_REGEX=re] [-DALONE=folder -DMODULE=module.vdd]
#         -P run_case.cmake
# ALONE: copy the host and MODULE into that (emptied) folder and run them
# there, away from the station library beside the build's own; STATION (if
# given) goes there too, as VarnixAPI2.dll.
cmake_minimum_required(VERSION 3.18)
foreach(name RUNNER HOST EXPECT_EXIT)
  if(NOT DEFINED ${name} OR "${${name}}" STREQUAL "")
    message(FATAL_ERROR "run_case.cmake: -D${name}= is required")
  endif()
endforeach()
string(REPLACE "|" ";" runner "${RUNNER}")
string(REPLACE "|" ";" arguments "${ARGUMENTS}")
string(REPLACE "|" ";" exits "${EXPECT_EXIT}")

set(host "${HOST}")
get_filename_component(folder "${HOST}" DIRECTORY)
if(ALONE)
  file(REMOVE_RECURSE "${ALONE}")
  file(MAKE_DIRECTORY "${ALONE}")
  file(COPY "${HOST}" "${MODULE}" DESTINATION "${ALONE}")
  if(STATION)
    configure_file("${STATION}" "${ALONE}/VarnixAPI2.dll" COPYONLY)
  endif()
  get_filename_component(name "${HOST}" NAME)
  set(host "${ALONE}/${name}")
  set(folder "${ALONE}")
endif()

execute_process(COMMAND ${runner} "${host}" ${arguments}
  WORKING_DIRECTORY "${folder}"
  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(printed "${out}\n${err}")
string(REPLACE "\r" "" printed "${printed}")
message("${out}")
if(NOT "${err}" STREQUAL "")
  message("stderr:\n${err}")
endif()

if(NOT code IN_LIST exits)
  message(FATAL_ERROR "exit code ${code}, expected ${EXPECT_EXIT}")
endif()
if(NOT "${EXPECT_LINE}" STREQUAL "")
  string(FIND "\n${printed}\n" "\n${EXPECT_LINE}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "no line reads: ${EXPECT_LINE}")
  endif()
endif()
if(NOT "${EXPECT_REGEX}" STREQUAL "")
  # CMake's ^ and $ anchor to the whole text: anchor to a line by newlines.
  string(REGEX REPLACE "^\\^" "\n" regex "${EXPECT_REGEX}")
  string(REGEX REPLACE "\\$$" "\n" regex "${regex}")
  if(NOT "\n${printed}\n" MATCHES "${regex}")
    message(FATAL_ERROR "no line matches: ${EXPECT_REGEX}")
  endif()
endif()
