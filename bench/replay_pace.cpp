// How well the replaying station keeps time, without a plug-in or host in
// the way: polls the station directly every millisecond (the plug-in polls
// every 10 ms) while it plays a recording, and reports
//  - frames delivered against the frames the wall clock has made due since
//    the start (most frames owed just before a poll, and at the end);
//  - how late a frame was handed out after it became due;
//  - the longest poll (one that reads a record from the file included).
//   replay_pace FILE [--seconds 60] [--poll-us 1000]
#include "contract/base_frame.h"
#include "contract/station_abi.h"
#include "contract/station_call.h"
#include "contract/station_control.h"
#include "contract/station_records.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

namespace {

// A poll longer than this is counted.
constexpr int64_t kSlowPollNs = 1000000;

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// What a play of the recording showed.
struct Pace {
    uint64_t delivered = 0;
    uint64_t polls = 0;
    uint64_t slowPolls = 0;  // polls over kSlowPollNs
    int64_t mostOwed = 0;    // frames due by the wall clock and not yet handed out
    int64_t latestNs = 0;    // the latest frame after it became due
    int64_t longestPollNs = 0;
};

// Polls the started station every `pollUs` until `endNs`, each time until
// it has no frame.
Pace Play(int64_t startNs, int64_t endNs, int64_t periodNs, int64_t pollUs) {
    Pace pace;
    VarnixFrameBuf frame{};
    while (NowNs() < endNs) {
        // Frames due since the start, against those handed out so far.
        const int64_t due = (NowNs() - startNs) / periodNs;
        pace.mostOwed =
            std::max<int64_t>(pace.mostOwed, due - static_cast<int64_t>(pace.delivered));
        for (;;) {
            const int64_t before = NowNs();
            const bool got =
                varnix::CallStation<VarnixPollDataFn>(VarnixNative_GetPollDataDelegate, &frame);
            const int64_t tookNs = NowNs() - before;
            pace.longestPollNs = std::max(pace.longestPollNs, tookNs);
            ++pace.polls;
            pace.slowPolls += tookNs > kSlowPollNs ? 1 : 0;
            if (!got) break;
            VarnixSimFrameInfo info{};
            if (VarnixSim_GetDeliveredFrame(pace.delivered, &info, nullptr, 0) != 0) {
                pace.latestNs = std::max(pace.latestNs, info.deliveredTimeNs - info.readyTimeNs);
            }
            ++pace.delivered;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(pollUs));
    }
    return pace;
}

}  // namespace

int main(int argc, char** argv) try {
    std::string path;
    double seconds = 60.0;
    int64_t pollUs = 1000;
    CLI::App app{"replay_pace: how well the replaying station keeps time"};
    app.add_option("file", path, "The recording (BDF+/EDF+) or a replay profile")->required();
    app.add_option("--seconds", seconds, "How long to play (default 60)")
        ->check(CLI::PositiveNumber);
    app.add_option("--poll-us", pollUs, "Pause between polls in microseconds (default 1000)");
    CLI11_PARSE(app, argc, argv);

    char error[1024] = "";
    if (VarnixSim_LoadProfileFile(path.c_str(), error, sizeof error) != 0) {
        std::fprintf(stderr, "replay_pace: %s\n", error);
        return 1;
    }
    VarnixMetadataBuf pb{};
    if (varnix::CallStation<VarnixInitializeFn>(VarnixNative_GetInitializeDelegate, &pb, 2, 1) ==
        nullptr) {
        std::fprintf(stderr, "replay_pace: the station answered no item list\n");
        return 1;
    }
    const int64_t periodNs = static_cast<int64_t>(pb.frameMultiple) * varnix::kBaseFramePeriodNs;
    varnix::CallStation<VarnixConfigureFn>(VarnixNative_GetConfigureDelegate, false, false, false,
                                           false);
    const int64_t startNs = NowNs();
    varnix::CallStation<VarnixVoidFn>(VarnixNative_GetStartDelegate);
    const Pace pace =
        Play(startNs, startNs + static_cast<int64_t>(seconds * 1e9), periodNs, pollUs);
    const int64_t dueAtEnd = (NowNs() - startNs) / periodNs;
    varnix::CallStation<VarnixVoidFn>(VarnixNative_GetStopDelegate);
    VarnixSimCounters counters{};
    VarnixSim_GetCounters(&counters);
    std::printf("replay_pace: %s for %g s, frames of %.1f ms, polled every %lld us\n", path.c_str(),
                seconds, static_cast<double>(periodNs) * 1e-6, static_cast<long long>(pollUs));
    std::printf("  frames delivered %llu, due by the wall clock %lld, dropped %llu\n",
                static_cast<unsigned long long>(pace.delivered), static_cast<long long>(dueAtEnd),
                static_cast<unsigned long long>(counters.framesDropped));
    std::printf("  most frames owed just before a poll: %lld\n",
                static_cast<long long>(pace.mostOwed));
    std::printf(
        "  latest frame after it was due: %.3f ms; longest poll: %.3f ms; polls over 1 ms: "
        "%llu of %llu\n",
        static_cast<double>(pace.latestNs) * 1e-6, static_cast<double>(pace.longestPollNs) * 1e-6,
        static_cast<unsigned long long>(pace.slowPolls),
        static_cast<unsigned long long>(pace.polls));
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", "replay_pace", e.what());
    return 1;
}
