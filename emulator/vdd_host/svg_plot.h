// --plot: the received signals as an SVG picture, one strip per channel
// component, time in seconds across, amplitude with its unit. Each strip is
// drawn as a min/max envelope per pixel column, so a long capture of many
// sensors stays small and readable.
#pragma once

#include "emulator/vdd_host/push_checker.h"

#include <string>
#include <vector>

namespace varnix::vddhost {

// [host] `ratesHz[d]` is device d's samples per second per stream, used to
// place the samples of a push before its arrival time; `t0Ns` is time zero.
// Returns false with `error` set when the file cannot be written. Allocates.
bool WritePlot(const std::string& path, const PushChecker& checker, const std::vector<double>& ratesHz,
               int64_t t0Ns, std::string& error);

}  // namespace varnix::vddhost
