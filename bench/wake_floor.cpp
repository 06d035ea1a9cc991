// wake_floor: what waking N sleeping threads costs on this machine, the
// floor under the plug-in's hand-off at N devices.
//
// N threads sleep on one futex word; every frame period (13.5 ms x F) the
// main thread advances the word and wakes them all with one call, as the
// acquisition thread's doorbell does; each thread wakes, notes when, finds
// nothing to do and sleeps again. Each asks for the short time slice that
// the plug-in's threads ask for (--default-slice: not).
// - The CPU time of the whole process over the run, per second, is what one
//   sleeping thread per device costs before it does any work: the plug-in's
//   figure can only come close to it.
// - The time from a ring to the last thread awake is the floor under the
//   plug-in's pass (a poll to the last device's push): a pass cannot end
//   before every device's thread has run.
// - How late the ringing thread wakes from its sleep to each frame's
//   deadline is the floor under the wait before the plug-in's poll.
//
// One JSON object on stdout; errors as one line on stderr, exit 2.
#include "bench/percentiles.h"
#include "bench/process_probe.h"
#include "contract/base_frame.h"
#include "platform/platform.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

using varnix::bench::MonotonicNs;
using varnix::bench::PercentilesOf;
using varnix::bench::ToJson;
using varnix::platform::WaitOnWord;
using varnix::platform::WakeAllOnWord;

struct Options {
    int threads = 16;
    int frameMultiple = 1;
    double seconds = 10.0;
    bool defaultSlice = false;  // the sleepers do not ask for the short slice
};

// What the ringing thread and the sleepers share.
// - `rings`: the futex word; the ringing thread advances it (release), the
//   sleepers read it (acquire) and wait on it.
// - `ringNs[r]`: written by the ringing thread before ring r is published
//   through `rings`; read by the sleepers after they saw r.
// - `lastAwakeNs[r]`: the latest wake of a sleeper for ring r; raised by
//   the sleepers with compare-and-swap, read by the main thread after they
//   were joined.
// - Each sleeper's `latenciesNs` is its own until it is joined.
struct Rings {
    explicit Rings(size_t capacity, int sleepers)
        : ringNs(capacity), lastAwakeNs(capacity), latenciesNs(static_cast<size_t>(sleepers)) {
        for (auto& latencies : latenciesNs) latencies.reserve(capacity);
    }
    std::atomic<uint32_t> rings{0};
    std::atomic<bool> quit{false};
    std::vector<int64_t> ringNs;
    std::vector<std::atomic<int64_t>> lastAwakeNs;
    std::vector<std::vector<int64_t>> latenciesNs;
};

void Sleep(Rings& shared, size_t self, bool shortSlice) {
    std::optional<varnix::platform::PromptWakeScope> prompt;
    if (shortSlice) prompt.emplace();
    uint32_t seen = shared.rings.load(std::memory_order_acquire);
    for (;;) {
        WaitOnWord(shared.rings, seen);
        const int64_t now = MonotonicNs();
        if (shared.quit.load()) return;
        const uint32_t ring = shared.rings.load(std::memory_order_acquire);
        if (ring == seen) continue;  // woken without a ring
        seen = ring;
        if (ring >= shared.ringNs.size()) continue;
        shared.latenciesNs[self].push_back(now - shared.ringNs[ring]);
        auto& last = shared.lastAwakeNs[ring];
        int64_t before = last.load();
        while (before < now && !last.compare_exchange_weak(before, now)) {}
    }
}

// Rings every frame period for `seconds`, each ring right after a sleep to
// its deadline, as the acquisition thread polls; returns the rings made and
// notes in `latenessNs` how late each sleep woke.
uint32_t RingFrames(Rings& shared, const Options& options, std::vector<int64_t>& latenessNs) {
    std::optional<varnix::platform::PromptWakeScope> prompt;
    if (!options.defaultSlice) prompt.emplace();
    const auto period =
        std::chrono::microseconds(varnix::kBaseFramePeriodUs * options.frameMultiple);
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::duration<double>(options.seconds);
    uint32_t rung = 0;
    for (auto next = start; next < end && rung + 1 < shared.ringNs.size(); next += period) {
        std::this_thread::sleep_until(next);
        latenessNs.push_back(
            std::chrono::nanoseconds(std::chrono::steady_clock::now() - next).count());
        ++rung;
        shared.ringNs[rung] = MonotonicNs();
        shared.rings.store(rung, std::memory_order_release);
        WakeAllOnWord(shared.rings);
    }
    return rung;
}

int Measure(const Options& options) {
    const double frameSeconds =
        static_cast<double>(varnix::kBaseFramePeriodUs * options.frameMultiple) * 1e-6;
    const auto capacity = static_cast<size_t>(options.seconds / frameSeconds) + 2;
    auto shared = std::make_unique<Rings>(capacity, options.threads);
    std::vector<std::thread> sleepers;
    const auto stopAll = [&] {
        shared->quit = true;
        shared->rings.fetch_add(1);
        WakeAllOnWord(shared->rings);
        for (auto& sleeper : sleepers) sleeper.join();
    };
    try {
        for (int i = 0; i < options.threads; ++i)
            sleepers.emplace_back(Sleep, std::ref(*shared), static_cast<size_t>(i),
                                  !options.defaultSlice);
    } catch (const std::exception& e) {
        std::cerr << "wake_floor: cannot start " << options.threads << " threads: " << e.what()
                  << "\n";
        stopAll();
        return 2;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // every thread asleep
    const int64_t cpuBefore = varnix::bench::ProcessCpuNs();
    const int64_t startNs = MonotonicNs();
    std::vector<int64_t> latenessNs;
    latenessNs.reserve(capacity);
    const uint32_t rung = RingFrames(*shared, options, latenessNs);
    const double window = static_cast<double>(MonotonicNs() - startNs) * 1e-9;
    const int64_t cpu = varnix::bench::ProcessCpuNs() - cpuBefore;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the last ring's wakes
    stopAll();

    std::vector<int64_t> perWake;
    for (const auto& latencies : shared->latenciesNs)
        perWake.insert(perWake.end(), latencies.begin(), latencies.end());
    std::vector<int64_t> lastAwake;
    for (uint32_t r = 1; r <= rung; ++r) {
        const int64_t awake = shared->lastAwakeNs[r].load();
        if (awake > 0) lastAwake.push_back(awake - shared->ringNs[r]);
    }
    const auto woken = static_cast<double>(perWake.size());
    const nlohmann::json report = {
        {"threads", options.threads},
        {"frame_multiple", options.frameMultiple},
        {"short_slice_asked", !options.defaultSlice},
        {"seconds", window},
        {"frames", rung},
        {"wakes", perWake.size()},
        {"cpu_pct", static_cast<double>(cpu) / window * 1e-7},
        {"cpu_us_per_wake", woken > 0 ? static_cast<double>(cpu) / woken * 1e-3 : 0.0},
        {"wake_latency", ToJson(PercentilesOf(perWake))},
        {"last_awake", ToJson(PercentilesOf(lastAwake))},
        {"ringer_lateness", ToJson(PercentilesOf(latenessNs))},
    };
    std::cout << report.dump() << "\n";
    return 0;
}

// The whole program; main catches what escapes it.
int Run(int argc, char** argv) {
    Options options;
    CLI::App app{
        "wake_floor: the CPU cost and the latency of waking N sleeping threads once per "
        "station frame, printed as one JSON object"};
    app.add_option("-n,--threads", options.threads, "Sleeping threads, one per device (default 16)")
        ->check(CLI::Range(1, 4096));
    app.add_option("-F,--frame-multiple", options.frameMultiple,
                   "Frame period in 13.5 ms steps (default 1)")
        ->check(CLI::Range(1, 1000));
    app.add_option("-d,--seconds", options.seconds, "Measured time (default 10)")
        ->check(CLI::Range(0.1, 86400.0));
    app.add_flag("--default-slice", options.defaultSlice,
                 "The threads keep the system's time slice instead of asking for the short one "
                 "that the plug-in's threads ask for");
    CLI11_PARSE(app, argc, argv);
    return Measure(options);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "wake_floor: " << e.what() << "\n";
        return 2;
    }
}
