// Guards against a station that stops delivering in the middle of a capture
// going unnoticed: a person must be told once, and told again when it comes
// back, while a poll that merely finds no frame yet, a session waiting for its
// start pulse, or a stop pulse ending the capture is no error.
#include "acquisition/station_silence.h"

#include "host/host_log.h"
#include "tests/acquisition/acquisition_fixture.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Clock = varnix::StationSilenceWatch::Clock;

struct StationSilenceTest : ::testing::Test {
    fake::Services services;
    acquisition_test::TestContext plugin{&services};
};

TEST_F(StationSilenceTest, TellsOnceWhenFramesStopAndOnceWhenTheyComeBack) {
    varnix::StationSilenceWatch watch(plugin);
    const Clock::time_point t0 = Clock::now();
    watch.SessionStarted(false);
    watch.NoFrame(t0 + 10s);  // waiting for the first frame (or a start pulse) is quiet
    EXPECT_TRUE(services.Lines().empty());

    watch.Frame(t0 + 11s);
    watch.NoFrame(t0 + 11s + 10ms);  // no frame yet: ordinary
    watch.NoFrame(t0 + 12900ms);
    EXPECT_TRUE(services.Lines().empty()) << "1.9 s without a frame is not yet worth a line";

    watch.NoFrame(t0 + 13s);
    watch.NoFrame(t0 + 20s);
    ASSERT_EQ(services.Lines().size(), 1u) << "one line per silence, not one per poll";
    EXPECT_EQ(services.Lines()[0].level, varnix::kLogError);
    EXPECT_NE(services.Lines()[0].text.find("no frame for 2.0 s"), std::string::npos)
        << services.Lines()[0].text;
    EXPECT_NE(services.Lines()[0].text.find("connected"), std::string::npos);

    watch.Frame(t0 + 21s);
    ASSERT_EQ(services.Lines().size(), 2u);
    EXPECT_EQ(services.Lines()[1].level, varnix::kLogInfo);
    EXPECT_NE(services.Lines()[1].text.find("again after 10.0 s"), std::string::npos)
        << services.Lines()[1].text;

    watch.Frame(t0 + 21s + 13ms);
    watch.NoFrame(t0 + 21s + 20ms);
    EXPECT_EQ(services.Lines().size(), 2u) << "frames flowing again are not told twice";
}

TEST_F(StationSilenceTest, ASessionStartOrAStopInputMakesTheSilenceNoError) {
    varnix::StationSilenceWatch watch(plugin);
    const Clock::time_point t0 = Clock::now();
    watch.SessionStarted(false);
    watch.Frame(t0);
    watch.SessionStarted(false);  // reconfigured: the station was stopped on purpose
    watch.NoFrame(t0 + 5s);
    EXPECT_TRUE(services.Lines().empty());

    watch.SessionStarted(true);
    watch.Frame(t0 + 6s);
    watch.NoFrame(t0 + 9s);  // a stop pulse may have ended it
    ASSERT_EQ(services.Lines().size(), 1u);
    EXPECT_EQ(services.Lines()[0].level, varnix::kLogInfo);
    EXPECT_NE(services.Lines()[0].text.find("stop input"), std::string::npos);
}

}  // namespace
