// pipeline_bench: the whole road of a frame, station to host, for a fixed
// time, with a host that does no work of its own.
//
// It loads the real module with the recording test host (definitions,
// registration), attaches a null context to every device (each push notes
// its time and returns), streams one session, and reports:
//   - latency from the moment a frame became pollable at the station (its
//     readyTimeNs) to each device's push of it, and the part of it spent
//     before the poll;
//   - polls per frame: the station's polls over its delivered frames, in the
//     window (about 2 with the old 10 ms pause; about 1 once the loop has the
//     station's clock);
//   - frames lost: dropped by the station's queue, or polled but not pushed;
//   - the plug-in's CPU time: the process's CPU over the window (getrusage,
//     ended hand-off threads included) minus the station's own cost, measured
//     first by a station-only phase that polls the same profile at the same
//     10 ms pace; the host's push work (one clock read) is left in;
//   - resident memory at the start and end of the window and its peak;
//   - the plug-in's threads alive at the end of the window (hand-off and
//     acquisition threads, by name in /proc/self/task; one per device plus
//     one by design) and the hand-off threads that appeared during it (none
//     by design; threads that start and end inside the window are not seen
//     here: run-benchmarks.sh counts every thread start with perf).
//
// One JSON object on stdout; errors as one line on stderr, exit 2.
#include "bench/null_host.h"
#include "bench/percentiles.h"
#include "bench/process_probe.h"
#include "contract/station_abi.h"
#include "contract/station_control.h"
#include "contract/station_records.h"
#include "emulator/plugin_module.h"
#include "emulator/startup_sequence.h"
#include "emulator/test_host.h"
#include "tests/support/plugin_threads.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <limits.h>
#include <unistd.h>

namespace {

using varnix::bench::MonotonicNs;
using varnix::bench::NullContext;
using varnix::bench::NullDeclaration;
using varnix::bench::PercentilesOf;
using varnix::bench::ProcessCpuNs;
using varnix::bench::StatusKiB;
using varnix::bench::ToJson;

constexpr auto kPause = std::chrono::milliseconds(10);  // the plug-in's loop pause

struct Options {
    std::string module;
    std::string profile;
    double seconds = 20.0;
    double warmup = 1.0;
    double stationSeconds = 5.0;
};

std::string BinDir() {
    char path[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string exe(path, length > 0 ? static_cast<size_t>(length) : 0);
    return exe.substr(0, exe.find_last_of('/'));
}

// Ends the run: main prints the line and exits 2.
struct BenchFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& line) {
    throw BenchFailure(line);
}

// A fresh station with `profile` loaded. Loaded through the station's own
// control API rather than its environment variable: setenv is not safe once
// other threads run.
void FreshStation(const std::string& profile) {
    VarnixSim_Reset();
    char error[512] = {};
    if (VarnixSim_LoadProfileFile(profile.c_str(), error, sizeof error) != 0) {
        Fail(std::string("station profile refused: ") + error);
    }
}

VarnixSimCounters Counters() {
    VarnixSimCounters counters{};
    VarnixSim_GetCounters(&counters);
    return counters;
}

// The station's cost per second of polling this profile at the loop's pace,
// on its own: initialize, start, poll every 10 ms after the work, stop, close.
double StationCpuPerSecond(double seconds) {
    VarnixNative* station = VarnixNative_New();
    auto initialize =
        reinterpret_cast<VarnixInitializeFn>(VarnixNative_GetInitializeDelegate(station));
    auto start = reinterpret_cast<VarnixVoidFn>(VarnixNative_GetStartDelegate(station));
    auto stop = reinterpret_cast<VarnixVoidFn>(VarnixNative_GetStopDelegate(station));
    auto close = reinterpret_cast<VarnixVoidFn>(VarnixNative_GetCloseDelegate(station));
    auto poll = reinterpret_cast<VarnixPollDataFn>(VarnixNative_GetPollDataDelegate(station));
    VarnixMetadataBuf metadata;
    std::memset(&metadata, 0, sizeof metadata);
    VarnixFrameBuf frame;
    std::memset(&frame, 0, sizeof frame);
    initialize(&metadata, 2, 1);
    start();
    const int64_t cpuBefore = ProcessCpuNs();
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        poll(&frame);
        std::this_thread::sleep_until(std::chrono::steady_clock::now() + kPause);
    }
    const int64_t cpu = ProcessCpuNs() - cpuBefore;
    stop();
    close();
    VarnixNative_Delete(station);
    return static_cast<double>(cpu) / seconds;
}

struct Snapshot {
    int64_t timeNs = 0;
    int64_t cpuNs = 0;
    int64_t rssKiB = 0;
    VarnixSimCounters station{};
    std::vector<uint64_t> pushes;
    std::set<int64_t> handoffThreads;
    size_t acquisitionThreads = 0;
};

Snapshot Take(const std::vector<std::unique_ptr<NullContext>>& contexts) {
    Snapshot snapshot{MonotonicNs(),
                      ProcessCpuNs(),
                      StatusKiB("VmRSS"),
                      Counters(),
                      {},
                      plugin_threads::Named("varnix-handoff"),
                      plugin_threads::Named("varnix-acquire").size()};
    for (const auto& context : contexts) snapshot.pushes.push_back(context->Pushes());
    return snapshot;
}

// One session streamed through the module: the window's two snapshots and
// what the devices' contexts noted over the whole run.
struct Streamed {
    size_t frameRoom = 0;  // push times each context keeps
    std::vector<std::unique_ptr<NullContext>> contexts;
    Snapshot first;
    Snapshot last;
    VarnixSimCounters final{};  // after the host's shutdown
    int64_t peakRssKiB = 0;
    uint64_t failedStarts = 0;  // hand-off threads the plug-in logged as not started
};

// Loads the module, streams one session for the warm-up and the window, and
// shuts the host down (which joins the plug-in's threads).
Streamed Stream(const Options& options) {
    varnix::emulator::PluginModule module;
    if (!module.Load(options.module))
        Fail("cannot load " + options.module + ": " + module.ErrorText());
    varnix::emulator::TestHost host;
    // The host's contexts stay unattached: the benchmark's own do nothing.
    varnix::emulator::StartupSequence(host, module)
        .RunThrough(varnix::emulator::StartupStep::kInstantiation);
    const size_t devices = host.DeviceCount();
    if (devices == 0) Fail("the plug-in registered no device for profile " + options.profile);

    Streamed run;
    run.frameRoom = static_cast<size_t>((options.warmup + options.seconds + 5.0) * 80.0);
    NullDeclaration declaration;
    for (size_t d = 0; d < devices; ++d) {
        run.contexts.push_back(std::make_unique<NullContext>(run.frameRoom));
        host.Device(d)->AttachContext(run.contexts.back().get());
    }
    for (size_t d = 0; d < devices; ++d) host.Device(d)->DeclareSession(1, &declaration);
    for (size_t d = 0; d < devices; ++d) host.Device(d)->SessionOpened();

    std::this_thread::sleep_for(std::chrono::duration<double>(options.warmup));
    run.first = Take(run.contexts);
    run.peakRssKiB = run.first.rssKiB;
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(options.seconds);
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        run.peakRssKiB = std::max(run.peakRssKiB, StatusKiB("VmRSS"));
    }
    run.last = Take(run.contexts);

    for (size_t d = 0; d < devices; ++d) host.Device(d)->SessionClosed();
    host.Shutdown(module);  // joins the acquisition thread and every hand-off
    run.final = Counters();
    for (const auto& line : host.LogLines())
        run.failedStarts += line.text.find("could not be started") != std::string::npos ? 1 : 0;
    return run;
}

// The window's frames matched with their pushes: the k-th push of a device
// carries the k-th delivered frame when no device missed one (the report's
// loss figures check that).
struct FrameTimes {
    std::vector<int64_t> readyToPush;  // every device's push
    std::vector<int64_t> readyToPoll;  // once a frame
    std::vector<int64_t> pass;         // the poll that handed it out to the last device's push
};

FrameTimes MatchFrames(const Streamed& run) {
    FrameTimes times;
    const size_t devices = run.contexts.size();
    for (size_t d = 0; d < devices; ++d) {
        const auto& pushTimes = run.contexts[d]->PushTimesNs();
        const uint64_t stop = std::min<uint64_t>(run.last.pushes[d], pushTimes.size());
        for (uint64_t k = run.first.pushes[d]; k < stop; ++k) {
            VarnixSimFrameInfo info{};
            if (VarnixSim_GetDeliveredFrame(k, &info, nullptr, 0) == 0) continue;
            times.readyToPush.push_back(pushTimes[k] - info.readyTimeNs);
            if (d == 0) times.readyToPoll.push_back(info.deliveredTimeNs - info.readyTimeNs);
        }
    }
    const uint64_t stop = std::min<uint64_t>(run.last.pushes[0], run.frameRoom);
    for (uint64_t k = run.first.pushes[0]; k < stop; ++k) {
        VarnixSimFrameInfo info{};
        if (VarnixSim_GetDeliveredFrame(k, &info, nullptr, 0) == 0) continue;
        int64_t lastPush = 0;
        for (size_t d = 0; d < devices; ++d) {
            if (k < run.contexts[d]->Pushes())
                lastPush = std::max(lastPush, run.contexts[d]->PushTimesNs()[k]);
        }
        times.pass.push_back(lastPush - info.deliveredTimeNs);
    }
    return times;
}

// The station keeps its last 4096 delivered frames, their values within a
// budget of 16 Mi floats: until that ring is full it grows the process by
// one frame per delivery. Its growth over the window, in KiB.
int64_t StationRingGrowthKiB(const Streamed& run) {
    VarnixSimFrameInfo latestFrame{};
    VarnixSim_GetDeliveredFrame(run.final.framesDelivered - 1, &latestFrame, nullptr, 0);
    const auto ringBytes = [&latestFrame](uint64_t delivered) {
        const uint64_t floats = std::min<uint64_t>(delivered, 4096) * latestFrame.valueCount;
        return std::min<uint64_t>(floats, uint64_t{16} << 20) * sizeof(float);
    };
    return static_cast<int64_t>((ringBytes(run.last.station.framesDelivered) -
                                 ringBytes(run.first.station.framesDelivered)) /
                                1024);
}

nlohmann::json Report(const Options& options, const Streamed& run, double stationCpuPerS) {
    const FrameTimes times = MatchFrames(run);
    const size_t devices = run.contexts.size();
    uint64_t notPushed = 0;
    uint64_t pushesInWindow = 0;
    uint64_t pushesInRun = 0;
    for (size_t d = 0; d < devices; ++d) {
        const uint64_t pushed = run.contexts[d]->Pushes();
        pushesInRun += pushed;
        notPushed += run.final.framesDelivered > pushed ? run.final.framesDelivered - pushed : 0;
        pushesInWindow += run.last.pushes[d] - run.first.pushes[d];
    }
    size_t handoffThreadsStarted = 0;
    for (int64_t thread : run.last.handoffThreads)
        handoffThreadsStarted += run.first.handoffThreads.count(thread) == 0 ? 1 : 0;
    const int64_t ringGrowthKiB = StationRingGrowthKiB(run);

    const double window = static_cast<double>(run.last.timeNs - run.first.timeNs) * 1e-9;
    const double processCpuPerS = static_cast<double>(run.last.cpuNs - run.first.cpuNs) / window;
    const double framesInWindow =
        static_cast<double>(run.last.station.framesDelivered - run.first.station.framesDelivered);
    const double pollsInWindow =
        static_cast<double>(run.last.station.polls - run.first.station.polls);
    return {
        {"profile", options.profile},
        {"devices", devices},
        {"frame_multiple", VarnixSim_FrameMultiple()},
        {"seconds", window},
        {"frames_delivered", run.last.station.framesDelivered - run.first.station.framesDelivered},
        {"frames_per_s", framesInWindow / window},
        {"polls_per_frame", framesInWindow > 0 ? pollsInWindow / framesInWindow : 0.0},
        {"frames_dropped_by_queue", run.final.framesDropped},
        {"frames_polled_not_pushed", notPushed},
        {"frames_lost", run.final.framesDropped + notPushed},
        {"deepest_queue", run.final.deepestQueue},
        {"latency_ready_to_push", ToJson(PercentilesOf(times.readyToPush))},
        {"latency_ready_to_poll", ToJson(PercentilesOf(times.readyToPoll))},
        {"poll_to_last_push", ToJson(PercentilesOf(times.pass))},
        {"process_cpu_pct", processCpuPerS * 1e-7},
        {"station_cpu_pct", stationCpuPerS * 1e-7},
        {"plugin_cpu_pct", (processCpuPerS - stationCpuPerS) * 1e-7},
        {"plugin_cpu_us_per_frame",
         framesInWindow > 0 ? (processCpuPerS - stationCpuPerS) * window / framesInWindow * 1e-3
                            : 0.0},
        {"rss_start_kib", run.first.rssKiB},
        {"rss_end_kib", run.last.rssKiB},
        {"rss_peak_sampled_kib", run.peakRssKiB},
        {"station_ring_growth_kib", ringGrowthKiB},
        {"rss_growth_less_station_ring_kib", run.last.rssKiB - run.first.rssKiB - ringGrowthKiB},
        {"plugin_threads", run.last.handoffThreads.size() + run.last.acquisitionThreads},
        {"handoff_threads_started_in_window", handoffThreadsStarted},
        {"pushes_per_s", static_cast<double>(pushesInWindow) / window},
        {"failed_thread_starts", run.failedStarts},
        {"pushes_in_run", pushesInRun},
    };
}

int Run(const Options& options) {
    FreshStation(options.profile);
    const double stationCpuPerS = StationCpuPerSecond(options.stationSeconds);
    FreshStation(options.profile);
    const Streamed run = Stream(options);
    std::cout << Report(options, run, stationCpuPerS).dump() << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Options options;
        options.module = BinDir() + "/VarnixViconPlugin.vdd";
        CLI::App app{
            "pipeline_bench: stream one session through the real module with a host that does no "
            "work, "
            "and print latency, loss, CPU and memory as one JSON object"};
        app.add_option("-p,--profile", options.profile, "Station profile (JSON file)")->required();
        app.add_option("-m,--module", options.module,
                       "The plug-in module (default: beside this program)");
        app.add_option("-d,--seconds", options.seconds, "Measured streaming time (default 20)");
        app.add_option("--warmup", options.warmup,
                       "Streaming before the measurement starts (default 1)");
        app.add_option(
            "--station-seconds", options.stationSeconds,
            "Length of the station-only phase that measures the station's cost (default 5)");
        CLI11_PARSE(app, argc, argv);
        return Run(options);
    } catch (const std::exception& e) {
        std::cerr << "pipeline_bench: " << e.what() << "\n";
        return 2;
    }
}
