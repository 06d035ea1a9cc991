#include "emulator/vdd_host/common/latency_histogram.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace varnix::vddhost {

namespace {

constexpr int64_t kFineLimitUs = 1000;  // 1 us buckets below this
constexpr int64_t kPerDecade = 900;
constexpr int kDecades = 4;  // 1 ms .. 10 s

}  // namespace

size_t LatencyHistogram::BucketOf(int64_t latencyNs) {
    const int64_t us = latencyNs <= 0 ? 0 : latencyNs / 1000;
    if (us < kFineLimitUs) return static_cast<size_t>(us);
    int64_t scale = 1;  // 10^decade
    for (int decade = 0; decade < kDecades; ++decade, scale *= 10) {
        if (us < 10 * kFineLimitUs * scale) {
            const int64_t within = (us / scale - kFineLimitUs) / 10;
            return static_cast<size_t>(kFineLimitUs + decade * kPerDecade + within);
        }
    }
    return kBuckets - 1;
}

int64_t LatencyHistogram::UpperEdgeNs(size_t bucket) {
    if (bucket < static_cast<size_t>(kFineLimitUs)) return static_cast<int64_t>(bucket + 1) * 1000;
    if (bucket >= kBuckets - 1) return std::numeric_limits<int64_t>::max();
    const int64_t index = static_cast<int64_t>(bucket) - kFineLimitUs;
    const int64_t decade = index / kPerDecade;
    int64_t scale = 1;
    for (int64_t d = 0; d < decade; ++d) scale *= 10;
    const int64_t lowerUs = (kFineLimitUs + (index % kPerDecade) * 10) * scale;
    return (lowerUs + 10 * scale) * 1000;
}

void LatencyHistogram::Record(int64_t latencyNs) {
    ++counts_[BucketOf(latencyNs)];
    min_ = count_ == 0 ? latencyNs : std::min(min_, latencyNs);
    max_ = count_ == 0 ? latencyNs : std::max(max_, latencyNs);
    last_ = latencyNs;
    ++count_;
}

int64_t LatencyHistogram::Percentile(double percent) const {
    if (count_ == 0) return 0;
    const double exactRank = std::ceil(percent / 100.0 * static_cast<double>(count_));
    const uint64_t rank =
        exactRank < 1.0 ? 1 : std::min<uint64_t>(count_, static_cast<uint64_t>(exactRank));
    uint64_t seen = 0;
    for (size_t bucket = 0; bucket < kBuckets; ++bucket) {
        seen += counts_[bucket];
        if (seen >= rank) return std::clamp(UpperEdgeNs(bucket), min_, max_);
    }
    return max_;
}

}  // namespace varnix::vddhost
