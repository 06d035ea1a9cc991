// wake_floor: what waking N sleeping threads costs on this machine, the
// floor under the plug-in's hand-off at N devices.
//
// N threads sleep on one futex word; every frame period (13.5 ms x F) the
// main thread advances the word and wakes them all with one call, as the
// acquisition thread's doorbell does; each thread wakes, finds nothing to
// do and sleeps again. The CPU time of the whole process over the run, per
// second, is what one sleeping thread per device costs before it does any
// work: the plug-in's figure can only come close to it.
//
// One JSON object on stdout; errors as one line on stderr, exit 2.
#include "bench/process_probe.h"
#include "contract/base_frame.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <iostream>
#include <thread>
#include <vector>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

void FutexWait(std::atomic<uint32_t>& word, uint32_t seen) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_PRIVATE, seen, nullptr,
            nullptr, 0);
}

void FutexWakeAll(std::atomic<uint32_t>& word) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr,
            nullptr, 0);
}

// The whole program; main catches what escapes it.
int Run(int argc, char** argv) {
    int threads = 16;
    int frameMultiple = 1;
    double seconds = 10.0;
    CLI::App app{
        "wake_floor: the CPU cost of waking N sleeping threads once per station frame, "
        "printed as one JSON object"};
    app.add_option("-n,--threads", threads, "Sleeping threads, one per device (default 16)")
        ->check(CLI::Range(1, 4096));
    app.add_option("-F,--frame-multiple", frameMultiple,
                   "Frame period in 13.5 ms steps (default 1)")
        ->check(CLI::Range(1, 1000));
    app.add_option("-d,--seconds", seconds, "Measured time (default 10)")
        ->check(CLI::PositiveNumber);
    CLI11_PARSE(app, argc, argv);

    std::atomic<uint32_t> rings{0};
    std::atomic<bool> quit{false};
    std::atomic<uint64_t> wakes{0};
    std::vector<std::thread> sleepers;
    try {
        for (int i = 0; i < threads; ++i) {
            sleepers.emplace_back([&] {
                for (;;) {
                    const uint32_t seen = rings.load();
                    if (quit.load()) return;
                    FutexWait(rings, seen);
                    wakes.fetch_add(1, std::memory_order_relaxed);
                }
            });
        }
    } catch (const std::exception& e) {
        std::cerr << "wake_floor: cannot start " << threads << " threads: " << e.what() << "\n";
        quit = true;
        rings.fetch_add(1);
        FutexWakeAll(rings);
        for (auto& sleeper : sleepers) sleeper.join();
        return 2;
    }
    const auto period = std::chrono::microseconds(varnix::kBaseFramePeriodUs * frameMultiple);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // every thread asleep
    const int64_t cpuBefore = varnix::bench::ProcessCpuNs();
    const uint64_t wakesBefore = wakes.load();
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    uint64_t frames = 0;
    for (auto next = start; next < end; next += period, ++frames) {
        std::this_thread::sleep_until(next);
        rings.fetch_add(1);
        FutexWakeAll(rings);
    }
    const double window =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int64_t cpu = varnix::bench::ProcessCpuNs() - cpuBefore;
    const uint64_t woken = wakes.load() - wakesBefore;
    quit = true;
    rings.fetch_add(1);
    FutexWakeAll(rings);
    for (auto& sleeper : sleepers) sleeper.join();

    const nlohmann::json report = {
        {"threads", threads},
        {"frame_multiple", frameMultiple},
        {"seconds", window},
        {"frames", frames},
        {"wakes", woken},
        {"cpu_pct", static_cast<double>(cpu) / window * 1e-7},
        {"cpu_us_per_wake",
         woken > 0 ? static_cast<double>(cpu) / static_cast<double>(woken) * 1e-3 : 0.0},
    };
    std::cout << report.dump() << "\n";
    return 0;
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
