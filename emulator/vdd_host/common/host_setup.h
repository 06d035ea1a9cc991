// Sets a TestHost up as vdd-host runs it: the host's timebase and start
// code, how parameters are filled, the rehearsal switches, and --trace.
#pragma once

#include "emulator/test_host.h"
#include "emulator/vdd_host/common/host_options.h"

#include <cstdio>

namespace varnix::vddhost {

// Records of the host's call log kept, and log lines kept per level.
constexpr size_t kCallLogWindow = 10000;
constexpr size_t kLogLineWindow = 1000;

// [host] Before the module is driven. With options.trace every call between
// host and plug-in is printed to `trace` as it happens (from whichever
// thread makes it; lines are written whole).
void ConfigureHost(emulator::TestHost& host, const HostOptions& options, FILE* trace);

}  // namespace varnix::vddhost
