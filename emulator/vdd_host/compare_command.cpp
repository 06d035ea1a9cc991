#include "emulator/vdd_host/host_commands.h"
#include "emulator/vdd_host/recording_comparison.h"

#include <iostream>

namespace varnix::vddhost {

namespace {

// Differences listed before "... and N more".
constexpr size_t kDifferencesShown = 20;

}  // namespace

int RunCompare(const HostOptions& options) {
    const std::string& first = options.comparePaths.at(0);
    const std::string& second = options.comparePaths.at(1);
    const RecordingComparison comparison = CompareRecordings(first, second);
    PrintComparison(comparison, first, second, kDifferencesShown,
                    comparison.readable ? std::cout : std::cerr);
    if (!comparison.readable) return kExitEnvironment;
    return comparison.differences.empty() ? kExitOk : kExitCheckFailed;
}

}  // namespace varnix::vddhost
