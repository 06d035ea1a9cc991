// The status of a running capture: one line rewritten in place on a
// terminal, plain periodic lines when the output is a file or a pipe.
#pragma once

#include "contract/station_control.h"
#include "emulator/vdd_host/common/push_checker.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace varnix::vddhost {

// [host] Main thread only.
class LiveStatus {
public:
    LiveStatus(FILE* out, bool quiet);

    // Called often; prints when it is time (5 times a second on a terminal,
    // once a second otherwise).
    void Update(double elapsedS, int session, const PushChecker& checker,
                const VarnixSimCounters& counters, bool simulated);
    // Ends the in-place line.
    void Finish();

private:
    FILE* out_;
    const bool quiet_;
    const bool terminal_;
    double lastPrintS_ = -1.0;
    std::vector<uint64_t> lastSamples_;
    bool open_ = false;
};

}  // namespace varnix::vddhost
