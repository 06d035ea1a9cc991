// Nearest-rank percentiles of a benchmark's nanosecond samples, and their
// JSON form in milliseconds, as every benchmark program prints them.
#pragma once

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnix::bench {

struct Percentiles {
    double min = 0, p50 = 0, p99 = 0, max = 0;  // milliseconds
    size_t count = 0;
};

// [any] Sorts its own copy once. All zero for no samples.
inline Percentiles PercentilesOf(std::vector<int64_t> ns) {
    Percentiles result;
    result.count = ns.size();
    if (ns.empty()) return result;
    std::sort(ns.begin(), ns.end());
    const auto at = [&ns](double q) {
        const auto rank = static_cast<size_t>(std::ceil(q * static_cast<double>(ns.size())));
        return static_cast<double>(ns[std::max<size_t>(rank, 1) - 1]) * 1e-6;
    };
    result.min = static_cast<double>(ns.front()) * 1e-6;
    result.p50 = at(0.50);
    result.p99 = at(0.99);
    result.max = static_cast<double>(ns.back()) * 1e-6;
    return result;
}

inline nlohmann::json ToJson(const Percentiles& p) {
    return {{"min_ms", p.min},
            {"p50_ms", p.p50},
            {"p99_ms", p.p99},
            {"max_ms", p.max},
            {"samples", p.count}};
}

}  // namespace varnix::bench
