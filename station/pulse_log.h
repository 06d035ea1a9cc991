// The record of every pulse the station's trigger inputs received, for a
// host that annotates them (vdd-host's EDF files) and for tests. Keeps the
// last 256.
#pragma once

#include "contract/station_control.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace varnix::station {

class PulseLog {
public:
    static constexpr size_t kCapacity = 256;

    // [any] Appends one pulse. Locks the log's own mutex (the station calls
    // it with its own held; the log never takes the station's); allocates
    // while the log grows to its capacity.
    void Record(int32_t input, int32_t source, int64_t timeNs);
    // [any] Pulses since the last clear. Locks briefly.
    uint64_t Count();
    // [any] The pulse of that sequence number, while kept. Locks briefly.
    bool Get(uint64_t sequence, VarnixSimPulse* out);
    // [any] Forgets every pulse and restarts the sequence at 0.
    void Clear();

private:
    std::mutex mutex_;
    std::vector<VarnixSimPulse> ring_;  // grows to kCapacity, then wraps
    uint64_t recorded_ = 0;             // pulses since the last clear
};

}  // namespace varnix::station
