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
    const int64_t endNs = startNs + static_cast<int64_t>(seconds * 1e9);

    uint64_t delivered = 0, polls = 0, slowPolls = 0;
    int64_t mostOwed = 0, latestNs = 0, longestPollNs = 0;
    VarnixFrameBuf frame{};
    while (NowNs() < endNs) {
        // Frames due since the start, against those handed out so far.
        const int64_t due = (NowNs() - startNs) / periodNs;
        mostOwed = std::max<int64_t>(mostOwed, due - static_cast<int64_t>(delivered));
        for (;;) {
            const int64_t before = NowNs();
            const bool got =
                varnix::CallStation<VarnixPollDataFn>(VarnixNative_GetPollDataDelegate, &frame);
            const int64_t tookNs = NowNs() - before;
            longestPollNs = std::max(longestPollNs, tookNs);
            ++polls;
            slowPolls += tookNs > kSlowPollNs ? 1 : 0;
            if (!got) break;
            VarnixSimFrameInfo info{};
            if (VarnixSim_GetDeliveredFrame(delivered, &info, nullptr, 0) != 0) {
                latestNs = std::max(latestNs, info.deliveredTimeNs - info.readyTimeNs);
            }
            ++delivered;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(pollUs));
    }
    const int64_t dueAtEnd = (NowNs() - startNs) / periodNs;
    varnix::CallStation<VarnixVoidFn>(VarnixNative_GetStopDelegate);
    VarnixSimCounters counters{};
    VarnixSim_GetCounters(&counters);
    std::printf("replay_pace: %s for %g s, frames of %.1f ms, polled every %lld us\n", path.c_str(),
                seconds, static_cast<double>(periodNs) * 1e-6, static_cast<long long>(pollUs));
    std::printf("  frames delivered %llu, due by the wall clock %lld, dropped %llu\n",
                static_cast<unsigned long long>(delivered), static_cast<long long>(dueAtEnd),
                static_cast<unsigned long long>(counters.framesDropped));
    std::printf("  most frames owed just before a poll: %lld\n", static_cast<long long>(mostOwed));
    std::printf(
        "  latest frame after it was due: %.3f ms; longest poll: %.3f ms; polls over 1 ms: "
        "%llu of %llu\n",
        static_cast<double>(latestNs) * 1e-6, static_cast<double>(longestPollNs) * 1e-6,
        static_cast<unsigned long long>(slowPolls), static_cast<unsigned long long>(polls));
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", "replay_pace", e.what());
    return 1;
}
