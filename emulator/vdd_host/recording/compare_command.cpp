#include "emulator/vdd_host/recording/compare_command.h"

#include "emulator/vdd_host/recording/recording_comparison.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace varnix::vddhost {

namespace {

// Differences listed before "... and N more".
constexpr size_t kDifferencesShown = 20;

}  // namespace

CLI::App* AddCompareCommand(CLI::App& app, HostOptions& options) {
    CLI::App* compare = app.add_subcommand(
        "compare",
        "Compare two BDF+/EDF+ files sample by sample: a recording and its replay "
        "(rates, labels, units, ranges, every sample, the annotations but the session start)");
    compare->add_option("files", options.comparePaths, "The two files")
        ->type_name("FILE FILE")
        ->expected(2)
        ->required()
        ->check(CLI::ExistingFile);
    return compare;
}

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
