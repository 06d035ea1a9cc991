// The acquisition loop's cadence against a scripted station clock: the loop
// runs on the test's thread in virtual time (nothing sleeps), and every
// frame's wait at the station is known to the microsecond.
#include "acquisition/frame_brackets.h"
#include "tests/acquisition/acquisition_fixture.h"
#include "tests/acquisition/scripted_station_clock.h"

#include <algorithm>
#include <string>

using namespace acquisition_test;

namespace {

using FrameCadenceTest = AcquisitionFixture;

// Runs the loop over `script` with no devices; the clock holds the record.
struct CadenceRun {
    varnix::AcquisitionSignal signal;
    ScriptedStationClock clock;
    explicit CadenceRun(const StationScript& script) : clock(script, signal) {}
    void Run(varnix::AcquisitionContext& context) {
        varnix::RunAcquisitionLoop(signal, context, clock);
    }
};

// The longest wait of the frames from `first` on (frames held by the
// station count from when they became pollable).
double LongestWaitMs(const ScriptedStationClock& clock, int64_t first) {
    const std::vector<double> waits = clock.WaitsMs();
    double longest = 0.0;
    for (size_t k = static_cast<size_t>(first); k < waits.size(); ++k)
        longest = std::max(longest, waits[k]);
    return longest;
}

// The frame from which every later one waited at most `limitMs`.
int64_t SettledFrom(const ScriptedStationClock& clock, double limitMs) {
    const std::vector<double> waits = clock.WaitsMs();
    int64_t from = static_cast<int64_t>(waits.size());
    while (from > 0 && waits[static_cast<size_t>(from - 1)] <= limitMs) --from;
    return from;
}

double PollsPerFrame(const ScriptedStationClock& clock, double fromMs) {
    size_t polls = 0, frames = 0;
    for (const auto& poll : clock.Polls()) {
        if (poll.atMs < fromMs) continue;
        ++polls;
        frames += poll.found ? 1 : 0;
    }
    return frames == 0 ? 0.0 : static_cast<double>(polls) / static_cast<double>(frames);
}

// The shortest gap after a poll that found nothing.
double ShortestGapAfterAnEmptyPollMs(const ScriptedStationClock& clock) {
    double shortest = 1e9;
    const auto& polls = clock.Polls();
    for (size_t i = 1; i < polls.size(); ++i) {
        if (!polls[i - 1].found) shortest = std::min(shortest, polls[i].atMs - polls[i - 1].atMs);
    }
    return shortest;
}

std::string Waits(const ScriptedStationClock& clock, int64_t from, int64_t count) {
    const std::vector<double> waits = clock.WaitsMs();
    std::string text;
    for (int64_t k = from; k < from + count && k < static_cast<int64_t>(waits.size()); ++k)
        text += std::to_string(waits[static_cast<size_t>(k)]).substr(0, 5) + " ";
    return text;
}

// Locked within 20 frames of the start; after that a frame waited at most a
// retry, and the loop polled about once per frame. `what` names the run.
void ExpectLockedWithinTwentyFrames(const ScriptedStationClock& clock, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_LE(SettledFrom(clock, 1.0), 20) << Waits(clock, 0, 30);
    EXPECT_LE(LongestWaitMs(clock, 20), 0.7) << "after the lock a frame waits at most a retry";
    EXPECT_LE(PollsPerFrame(clock, 1000.0), 1.25);
}

}  // namespace

TEST_F(FrameCadenceTest, LocksWithinTwentyFramesOfASessionStartThenPollsAboutOncePerFrame) {
    CadenceRun run(StationScript{});
    run.Run(plugin);
    const ScriptedStationClock& clock = run.clock;
    EXPECT_GE(clock.FramesTaken(), static_cast<size_t>(clock.FrameDueFrom(19990.0)));
    ExpectLockedWithinTwentyFrames(clock, "a steady station");
    EXPECT_GE(ShortestGapAfterAnEmptyPollMs(clock), 0.5);
}

TEST_F(FrameCadenceTest, FollowsAFastClockAndAStepFromFastToSlow) {
    StationScript fast;
    fast.driftPpm = 1000;
    CadenceRun first(fast);
    first.Run(plugin);
    ExpectLockedWithinTwentyFrames(first.clock, "+1000 ppm");

    StationScript step;
    step.driftPpm = 200;
    step.driftStep = {{10.0, -200.0}};
    CadenceRun second(step);
    second.Run(plugin);
    ExpectLockedWithinTwentyFrames(second.clock, "+200 ppm, then -200 from 10 s on");
}

TEST_F(FrameCadenceTest, RelocksWithinTenFramesAfterAStallAndAfterASilentRestart) {
    StationScript quiet;
    quiet.seconds = 8.0;
    CadenceRun stalled(quiet);
    stalled.clock.StallBetween(5000.0, 5050.0);  // the machine busy: the loop wakes 50 ms late
    stalled.Run(plugin);
    const int64_t afterStall = stalled.clock.FrameDueFrom(5050.0);
    EXPECT_GE(stalled.clock.FramesTaken(), static_cast<size_t>(stalled.clock.FrameDueFrom(7990.0)));
    EXPECT_LE(LongestWaitMs(stalled.clock, afterStall + 10), 0.7)
        << Waits(stalled.clock, afterStall - 4, 16);

    StationScript restart = quiet;
    restart.restart = {{4.0, 106.3}};  // frames stop and begin anew, out of the old phase
    CadenceRun restarted(restart);
    restarted.Run(plugin);
    const int64_t firstNew = restarted.clock.FrameDueFrom(4000.0);
    EXPECT_LE(LongestWaitMs(restarted.clock, firstNew + 10), 0.7)
        << Waits(restarted.clock, firstNew, 16);
}

TEST_F(FrameCadenceTest, RelocksWithinTenFramesOfASessionStartWithANewPhase) {
    SetDevices({Device(1, 1, 0)}, 1);
    StationScript restart;
    restart.seconds = 8.0;
    restart.restart = {{4.0, 7.7}};  // the station restarted: its frames come 5.8 ms later
    CadenceRun run(restart);
    fake::Declaration declaration;
    const varnix::DeviceList devices = plugin.Devices();
    bool declared = false;
    // The host declares a new session as the station restarts.
    run.clock.OnWake([&](double ms) {
        if (!declared && ms >= 4000.0) {
            declared = true;
            contexts[0]->entryCount = 0;
            devices[0]->DeclareSession(1, &declaration);
        }
    });
    run.Run(plugin);
    ASSERT_TRUE(declared);
    EXPECT_EQ(CallsOf("start").size(), 1u) << "the session start ran";
    const int64_t firstNew = run.clock.FrameDueFrom(4000.0);
    EXPECT_LE(LongestWaitMs(run.clock, firstNew + 10), 0.7) << Waits(run.clock, firstNew, 16);
    EXPECT_TRUE(ContextOf(0).WaitForPushes(run.clock.FramesTaken()))
        << "every frame reached the device";
}

TEST_F(FrameCadenceTest, AFrameHeldBackIsTakenWithTheNextInOneWake) {
    StationScript bursts;
    bursts.burstEvery = 5;
    bursts.seconds = 8.0;
    CadenceRun run(bursts);
    run.Run(plugin);
    const auto& polls = run.clock.Polls();
    size_t pairs = 0;
    for (size_t i = 1; i < polls.size(); ++i) {
        const int64_t frame = polls[i - 1].frame;
        if (!polls[i - 1].found || frame < 40 || (frame + 1) % 5 != 0) continue;
        ASSERT_TRUE(polls[i].found)
            << "frame " << frame + 1 << " is polled at once after " << frame;
        EXPECT_EQ(polls[i].frame, frame + 1);
        ++pairs;
    }
    EXPECT_GT(pairs, 100u);
    EXPECT_LE(LongestWaitMs(run.clock, 40), 0.7) << "held frames wait from when they come";
}

TEST_F(FrameCadenceTest, UnevenFramesWaitAtMostAboutAStep) {
    StationScript uneven;
    uneven.jitterMs = 2.0;
    uneven.burstEvery = 7;
    CadenceRun run(uneven);
    run.Run(plugin);
    const std::vector<double> all = run.clock.WaitsMs();
    ASSERT_GT(all.size(), 1000u);
    std::vector<double> waits(all.begin() + 40, all.end());
    std::sort(waits.begin(), waits.end());
    EXPECT_LE(waits[waits.size() * 99 / 100], 1.3) << "p99";
    EXPECT_LE(waits.back(), 2.0);
    EXPECT_LE(PollsPerFrame(run.clock, 1000.0), 2.35) << "no more polls than the 10 ms pause made";
    EXPECT_GE(ShortestGapAfterAnEmptyPollMs(run.clock), 0.5);
}

TEST_F(FrameCadenceTest, AStationOnAnotherPeriodIsTrackedTheSameWay) {
    StationScript foreign;
    foreign.periodMs = 12.8;  // the frame multiple says 13.5 ms
    foreign.seconds = 10.0;
    CadenceRun run(foreign);
    run.Run(plugin);
    EXPECT_GE(run.clock.FramesTaken(), static_cast<size_t>(run.clock.FrameDueFrom(9990.0)));
    EXPECT_LE(SettledFrom(run.clock, 1.0), run.clock.FrameDueFrom(3000.0))
        << Waits(run.clock, 0, 40) << "... " << Waits(run.clock, 700, 40);
    EXPECT_LE(PollsPerFrame(run.clock, 5000.0), 1.25);
}

// A station that spends a while inside the poll that hands a frame out (the
// simulated one makes 128 sensors' frame there in about a millisecond) once
// kept the loop settling for ever: it took the poll's return as the frame's
// moment, so no phase ever looked pinned, and 1.6 polls went to each frame.
TEST_F(FrameCadenceTest, AStationSlowToHandAFrameOutIsTrackedAsAQuickOne) {
    StationScript slow;
    slow.foundPollMs = 1.2;
    slow.seconds = 10.0;
    CadenceRun run(slow);
    run.Run(plugin);
    const ScriptedStationClock& clock = run.clock;
    EXPECT_GE(clock.FramesTaken(), static_cast<size_t>(clock.FrameDueFrom(9990.0)));
    ExpectLockedWithinTwentyFrames(clock, "polls that return 1.2 ms after the station looked");
    EXPECT_GE(ShortestGapAfterAnEmptyPollMs(clock), 0.5);
}

TEST_F(FrameCadenceTest, NoFramesMeansAPollEveryTenMillisecondsAndEndlessFramesStillPause) {
    StationScript silent;
    silent.seconds = 2.0;
    silent.firstDueMs = 1e9;
    CadenceRun none(silent);
    none.Run(plugin);
    const auto& polls = none.clock.Polls();
    ASSERT_GE(polls.size(), 150u);
    for (size_t i = 1; i < polls.size(); ++i) {
        const double gap = polls[i].atMs - polls[i - 1].atMs;
        ASSERT_GE(gap, 10.0) << "poll " << i;
        ASSERT_LE(gap, 10.2) << "poll " << i;
    }

    StationScript endless;
    endless.answersForEver = true;
    endless.seconds = 1.0;
    CadenceRun always(endless);
    always.Run(plugin);
    const auto& pauses = always.clock.PauseStarts();
    ASSERT_GE(pauses.size(), 50u);
    EXPECT_EQ(always.clock.Polls().size(), pauses.size() * varnix::kMaxFramesPerCycle)
        << "every cycle takes its cap of 64 frames, then pauses";
    for (size_t i = 1; i < pauses.size(); ++i) ASSERT_GE(pauses[i] - pauses[i - 1], 10.0);
}

// A held frame or a late one lowers the agreement; the rest still pin the
// phase and the period.
TEST(FrameBracketsTest, ConsensusIgnoresAHeldFrameAndFindsTheStationsPeriod) {
    varnix::ConsensusRing ring;
    const double period = 12.8e6;
    for (int64_t k = 0; k < 12; ++k) {
        const double moment = 5e6 + static_cast<double>(k) * period;
        const double held = k == 6 ? period : 0.0;  // frame 6 came with frame 7
        ring.Add({k, moment + held - 0.3e6, moment + held + 0.2e6});
    }
    const varnix::PhaseConsensus atTruth = varnix::BestPhase(ring, period);
    EXPECT_EQ(atTruth.agreeing, 11u);
    EXPECT_LT(atTruth.lowNs, 5e6);
    EXPECT_GE(atTruth.highNs, 5e6);
    const varnix::PeriodConsensus scanned = varnix::ScanPeriods(ring, 13.5e6);
    EXPECT_NEAR(scanned.periodNs, period, 0.05e6);
    EXPECT_EQ(scanned.phase.agreeing, 11u);
}
