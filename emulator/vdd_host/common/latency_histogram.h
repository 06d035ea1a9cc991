// Push latencies of one device in a fixed set of buckets, so an hour-long
// capture keeps the same 18 KiB per device as a one-second one.
//
// Resolution: 1 us buckets below 1 ms; from 1 ms to 10 s, 900 buckets per
// decade (10 us wide from 1 to 10 ms, 100 us to 100 ms, 1 ms to 1 s, 10 ms to
// 10 s), so a bucket is at most 1 % of the values in it; one bucket above
// 10 s. A percentile is reported as the upper edge of its bucket, kept
// within the exact minimum and maximum: at most one bucket width above the
// exact nearest-rank value. Minimum, maximum and the last value are exact.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace varnix::vddhost {

// [host] One thread only. Record and the accessors never allocate or block.
class LatencyHistogram {
public:
    static constexpr size_t kBuckets = 1000 + 4 * 900 + 1;

    void Record(int64_t latencyNs);
    // Nearest-rank percentile (0..100) in nanoseconds; 0 when empty.
    int64_t Percentile(double percent) const;
    uint64_t Count() const { return count_; }
    int64_t Min() const { return min_; }
    int64_t Max() const { return max_; }
    int64_t Last() const { return last_; }

    // The bucket a latency falls in, and the bucket's upper edge (exclusive)
    // in nanoseconds; exposed for the tests of the resolution.
    static size_t BucketOf(int64_t latencyNs);
    static int64_t UpperEdgeNs(size_t bucket);

private:
    std::array<uint32_t, kBuckets> counts_{};
    uint64_t count_ = 0;
    int64_t min_ = 0;
    int64_t max_ = 0;
    int64_t last_ = 0;
};

}  // namespace varnix::vddhost
