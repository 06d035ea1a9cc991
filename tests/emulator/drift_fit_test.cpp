// vdd-host's measure of the station's clock against the host's: the line
// through the frames, its uncertainty, the warning, and a capture of a
// station whose clock runs 300 ppm fast.
#include "emulator/vdd_host/capture/drift_fit.h"
#include "contract/base_frame.h"
#include "tests/emulator/in_process_capture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace varnix::vddhost;

namespace {

constexpr double kFrameS = varnix::kBaseFramePeriodS;

// A push of frame `frame` of `session` reaching the host at `seconds`.
CapturedPush PushAt(int32_t session, int64_t frame, double seconds) {
    CapturedPush push;
    push.sessionId = session;
    push.samplesPerFrame = 27;
    push.firstSampleIndex = frame * 27;
    push.timeNs = 5000000000 + static_cast<int64_t>(seconds * 1e9);
    return push;
}

// Wake-up noise: up to 1.5 ms late, spread evenly, the same every run.
double Lateness(uint64_t& seed) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return 0.0015 * static_cast<double>(seed >> 11) / 9007199254740992.0;
}

}  // namespace

TEST(DriftFitTest, ALineThroughTheFramesGivesTheDriftItsMarginAndAWarningBeyond500Ppm) {
    DriftFit fit;
    uint64_t seed = 7;
    fit.BeginSession(1, kFrameS);
    const double fast = kFrameS / (1 + 300e-6);
    for (int64_t k = 0; k < 4440; ++k) {
        // The machine stalls for 30 frames near the end: 30 ms late each,
        // which would tilt a line through every frame by about 20 ppm.
        const double stall = k >= 4300 && k < 4330 ? 0.030 : 0.0;
        fit.Take(0, PushAt(1, k, k * fast + Lateness(seed) + stall), {});
        fit.Take(1, PushAt(1, k, k * fast + 0.004), {});  // another device: not fitted
    }
    const std::optional<DriftResult> first = fit.EndSession();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->frames, 4440u);
    EXPECT_NEAR(first->driftPpm, 300.0, 1.0);
    EXPECT_GT(first->marginPpm, 0.05);
    EXPECT_LT(first->marginPpm, 1.0);
    EXPECT_NEAR(first->periodS, fast, 1e-8);

    // A slow clock, the host resetting the index halfway: the line begins anew.
    fit.BeginSession(2, kFrameS);
    const double slow = kFrameS / (1 - 800e-6);
    for (int64_t k = 0; k < 400; ++k) fit.Take(0, PushAt(2, k, k * slow), {});
    for (int64_t k = 0; k < 400; ++k) fit.Take(0, PushAt(2, k, 10.0 + k * slow), {});
    const std::optional<DriftResult> second = fit.EndSession();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->frames, 400u);
    EXPECT_NEAR(second->driftPpm, -800.0, 0.5);

    fit.BeginSession(3, kFrameS);
    for (int64_t k = 0; k < 10; ++k) fit.Take(0, PushAt(3, k, k * kFrameS), {});
    EXPECT_FALSE(fit.EndSession()) << "ten frames make no line";

    std::ostringstream out, warnings;
    SummariseDrift(fit.Results(), false, out, warnings);
    EXPECT_EQ(out.str(), DriftLine(fit.Results()[0]) + "\n" + DriftLine(fit.Results()[1]) + "\n");
    EXPECT_NE(
        out.str().find("drift +300.5 +- 0.5 ppm (95 %) over 4440 frames in 59.9 s, session 1"),
        std::string::npos)
        << out.str();
    EXPECT_EQ(warnings.str().find("session 1"), std::string::npos) << "300 ppm is no warning";
    EXPECT_NE(warnings.str().find("warning: session 2: the station's clock runs -800 ppm"),
              std::string::npos)
        << warnings.str();
    for (const DriftResult& result : fit.Results()) {
        for (const std::string& text : DriftAnnotations(result))
            EXPECT_LE(text.size(), 40u) << "an annotation is kept whole: " << text;
    }
    EXPECT_EQ(DriftAnnotations(fit.Results()[0])[0], "clock drift +300.5 +- 0.5 ppm");

    std::ostringstream quiet, quietWarnings;
    SummariseDrift(fit.Results(), true, quiet, quietWarnings);
    EXPECT_EQ(quiet.str(), "");
    EXPECT_EQ(quietWarnings.str(), warnings.str()) << "a warning is printed however quiet";
}

TEST(DriftFitTest, ACaptureOfAStationRunning300PpmFastMeasuresIt) {
    const std::string profile = varnix::emulator::testing::SourceDir() + "/profiles/drift16.json";
    setenv("VARNIX_STATION_PROFILE", profile.c_str(), 1);
    DriftFit fit;
    varnix::emulator::testing::InProcessCapture capture;
    capture.sinks.push_back(&fit);
    fit.BeginSession(1, kFrameS);
    capture.Run(6.0);
    const std::optional<DriftResult> result = fit.EndSession();
    ASSERT_TRUE(result);
    EXPECT_GT(result->frames, 300u);
    EXPECT_NEAR(result->driftPpm, 300.0, std::max(40.0, 3 * result->marginPpm))
        << DriftLine(*result);
}
