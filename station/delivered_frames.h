// The station's memory of what it handed out: the last 4096 delivered frames,
// each with its ready and delivery times and, within a memory budget, its
// values. Lets a test or the host emulator check every value the host got.
#pragma once

#include "contract/station_control.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnix::station {

class DeliveredFrames {
public:
    static constexpr size_t kCapacity = 4096;
    // Values kept over all frames at most (64 MiB of floats). With large
    // frames fewer than kCapacity frames keep their values; the oldest lose
    // them first.
    static constexpr size_t kValueBudget = size_t{16} << 20;

    // Not thread-safe: the station calls these under its own mutex.
    // Record copies `count` values; allocates only while slots grow.
    void Record(const VarnixSimFrameInfo& info, int64_t dueNs, const float* values, size_t count);
    // Fills `info` and, when `values` is not null, up to `capacity` values.
    // False when the frame is no longer kept, or its values were requested
    // but already given up to the budget.
    bool Get(uint64_t deliveryIndex, VarnixSimFrameInfo* info, float* values,
             size_t capacity) const;
    // The frame's due time beside its info; false when no longer kept.
    bool GetDue(uint64_t deliveryIndex, int64_t& dueNs) const;
    void Clear();

private:
    struct Slot {
        VarnixSimFrameInfo info{};
        int64_t dueNs = 0;
        std::vector<float> values;
        bool hasValues = false;
    };
    void EnforceBudget();

    std::vector<Slot> slots_;  // index: deliveryIndex % kCapacity
    uint64_t recorded_ = 0;    // frames recorded since the last clear
    uint64_t oldestWithValues_ = 0;
    size_t valuesHeld_ = 0;
};

}  // namespace varnix::station
