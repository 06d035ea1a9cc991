// The end of a capture: the per-device summary table, the list of what went
// wrong, and the one-line verdict.
#pragma once

#include "contract/station_control.h"
#include "emulator/contract_monitor.h"
#include "emulator/test_host.h"
#include "emulator/vdd_host/common/push_checker.h"
#include "emulator/vdd_host/recording/edf_recorder.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace varnix::vddhost {

struct CaptureFacts {
    bool simulated = false;
    VarnixSimCounters counters{};                  // after Shutdown
    std::vector<double> ratesHz;                   // per device, samples per second per stream
    std::vector<emulator::DeviceStatus> statuses;  // at the end of the last session
    std::vector<emulator::Violation> violations;   // the kept ones
    size_t violationCount = 0;
    std::map<std::string, size_t> violationsByRule;
    size_t errorsIssued = 0;
    size_t errorsUnreleased = 0;
    size_t definitions = 0;
    size_t refusedDevices = 0;
    // Calls the plug-in made into the host other than pushes, per thread name.
    std::map<std::string, std::pair<uint64_t, size_t>>
        callThreads;  // name -> calls, distinct threads
};

// Expected samples per stream from the elapsed time of each session and the
// rate, with the tolerance the comparison allows.
struct TimeExpectation {
    double expected = 0.0;
    double tolerance = 0.0;
};
TimeExpectation ExpectFromTime(const DeviceTally& tally, double rateHz);

// [host] Prints the table (unless `quiet`) and returns the failures, one
// line each; empty when the capture passed. Allocates.
std::vector<std::string> Summarise(const PushChecker& checker, const CaptureFacts& facts,
                                   bool quiet, std::ostream& out);

// [host] Prints what each --edf file holds (unless `quiet`): records, clipped
// samples per signal, lost samples per device; returns the files that could
// not be written completely, one line each. Allocates.
std::vector<std::string> SummariseEdf(const std::vector<EdfReport>& reports, bool quiet,
                                      std::ostream& out);

// "vdd-host: PASS ..." or "vdd-host: FAIL: <first reason> (+N more)"; a
// `note` ("stopped early at 12.3 s of 30 s") follows PASS or FAIL in brackets.
std::string Verdict(const std::vector<std::string>& failures, const PushChecker& checker,
                    const std::string& note = "");

}  // namespace varnix::vddhost
