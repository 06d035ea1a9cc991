# The build types' default flags, read while CMake sets up each language
# (CMAKE_USER_MAKE_RULES_OVERRIDE): only a new build folder takes them, and
# -DCMAKE_CXX_FLAGS_RELWITHDEBINFO=... still chooses otherwise.
#
# RelWithDebInfo, the default, keeps -O2 but carries line tables only (-g1):
# a file compiles in about two thirds of the time it takes with -g
# (emulator/vdd_host/command_line.cpp 11.4 s against 17.6 s), which is what
# makes a first scripts/run-capture.sh quick, and a backtrace or a
# sanitizer's report still names file and line.
set(CMAKE_C_FLAGS_RELWITHDEBINFO_INIT "-O2 -g1 -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO_INIT "-O2 -g1 -DNDEBUG")
