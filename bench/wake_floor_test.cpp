// wake_floor's bookkeeping against a short real run: every ring woke every
// thread, and the times it reports are measured from the right ring.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

nlohmann::json RunWakeFloor(const std::string& arguments) {
    const std::string bin = std::getenv("VARNIX_BIN_DIR");
    std::string output;
    if (FILE* pipe = popen((bin + "/wake_floor " + arguments).c_str(), "r")) {
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, n);
        pclose(pipe);
    }
    return nlohmann::json::parse(output, nullptr, false);
}

// Guards against wakes matched to the wrong ring (a ring's time taken after
// it was published, or an index off by one, shows as a negative latency or
// one a frame period long) and against rings or wakes going uncounted.
TEST(WakeFloor, EveryRingWakesEveryThreadAndIsTimedFromItsOwnRing) {
    const nlohmann::json report = RunWakeFloor("-n 4 -d 1");
    ASSERT_FALSE(report.is_discarded()) << "not one JSON object";

    const auto frames = report["frames"].get<double>();
    EXPECT_NEAR(frames, 1.0 / 0.0135, 3.0) << "one ring per 13.5 ms frame";
    // A thread that sleeps through two rings wakes once for both: allow a
    // few on a loaded machine.
    EXPECT_NEAR(report["wakes"].get<double>(), 4.0 * frames, 8.0);
    EXPECT_EQ(report["last_awake"]["samples"], report["frames"]);
    for (const char* figure : {"wake_latency", "last_awake", "ringer_lateness"}) {
        EXPECT_GE(report[figure]["p50_ms"].get<double>(), 0.0) << figure;
        EXPECT_LT(report[figure]["p50_ms"].get<double>(), 13.5) << figure;
        EXPECT_LE(report[figure]["p99_ms"].get<double>(), report[figure]["max_ms"].get<double>())
            << figure;
    }
    // The last thread of a ring is never awake before the typical one.
    EXPECT_GE(report["last_awake"]["p50_ms"].get<double>(),
              report["wake_latency"]["p50_ms"].get<double>());
    EXPECT_EQ(report["short_slice_asked"], true);
    EXPECT_GT(report["cpu_pct"].get<double>(), 0.0);

    const nlohmann::json plain = RunWakeFloor("-n 1 -d 0.2 --default-slice");
    ASSERT_FALSE(plain.is_discarded());
    EXPECT_EQ(plain["short_slice_asked"], false);
    EXPECT_EQ(plain["threads"], 1);
}

}  // namespace
