// --csv: every received sample as one row a spreadsheet opens directly.
//   session,device,channel,component,unit,sample,value
// `sample` is the push's first-sample index plus the sample's place in the
// push; `value` is printed with 9 significant digits, enough to read back
// the exact 4-byte value.
#pragma once

#include "emulator/vdd_host/push_checker.h"

#include <string>

namespace varnix::vddhost {

// [host] Writes the pushes the checker kept. Returns false with `error` set
// when the file cannot be written. Allocates.
bool WriteCsv(const std::string& path, const PushChecker& checker, std::string& error);

}  // namespace varnix::vddhost
