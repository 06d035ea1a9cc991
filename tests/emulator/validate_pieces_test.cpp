// vdd-host validate's pieces without a plug-in: the round generator and the
// round model it draws, the drawn station as the simulated station reads it,
// the process footprint, the journal and the round's process.
#include "contract/station_control.h"
#include "emulator/vdd_host/validate/process_footprint.h"
#include "emulator/vdd_host/validate/round_journal.h"
#include "emulator/vdd_host/validate/round_plan.h"
#include "emulator/vdd_host/validate/round_process.h"
#include "emulator/vdd_host/validate/round_random.h"
#include "emulator/vdd_host/validate/station_profile_text.h"
#include "tests/emulator/run_process.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>

namespace varnix::vddhost {
namespace {

using namespace std::chrono_literals;

// The first draws of round 3 of seed 15, as every machine must draw them.
constexpr uint64_t kGoldenFirst = 8041760793504156162ull;
constexpr uint64_t kGoldenSecond = 6837331454234991652ull;
constexpr uint64_t kGoldenBelow = 101;

// Everything of a plan that the round does, as text, for comparing plans.
std::string Fingerprint(const RoundPlan& plan) {
    std::string text = DescribePlan(plan);
    for (const CycleDraw& cycle : plan.cycles) {
        text += "|" + StationProfileText(cycle.station) + std::to_string(cycle.hostVersion) +
                ShutdownMomentName(cycle.shutdown) + std::to_string(cycle.shutdownAtMs) + "," +
                std::to_string(cycle.heldMs) + "," + std::to_string(cycle.refusedDevices.size());
        for (const std::string& operation : cycle.failingOperations) text += operation;
        for (const SessionDraw& session : cycle.sessions) {
            text +=
                "/" + std::to_string(session.sessionId) + ":" + std::to_string(session.durationMs);
            for (const SessionEvent& event : session.events) {
                text += SessionEventName(event.kind) + std::to_string(event.atMs) + "." +
                        std::to_string(event.ms);
            }
        }
    }
    return text;
}

TEST(ValidateRounds, TheSeedAndTheRoundFixTheDrawsOnAnyMachine) {
    // Regression guard: a change of the generator changes every published
    // repeat command; these values are what every machine must draw.
    RoundRandom random(15, 3);
    EXPECT_EQ(random.Next(), kGoldenFirst);
    EXPECT_EQ(random.Next(), kGoldenSecond);
    EXPECT_EQ(random.Below(1000), kGoldenBelow);

    // Round 7 is the same drawn alone or after others, and differs from round 8.
    const std::string alone = Fingerprint(DrawRound(15, 7, 5));
    for (int round = 1; round <= 6; ++round) DrawRound(15, round, 5);
    EXPECT_EQ(Fingerprint(DrawRound(15, 7, 5)), alone);
    EXPECT_NE(Fingerprint(DrawRound(15, 8, 5)), alone);
    EXPECT_NE(Fingerprint(DrawRound(16, 7, 5)), alone);

    // Draws stay in their ranges and reach both ends.
    RoundRandom bounded(1, 1);
    std::set<int64_t> seen;
    for (int i = 0; i < 2000; ++i) {
        const int64_t value = bounded.Between(-2, 3);
        ASSERT_GE(value, -2);
        ASSERT_LE(value, 3);
        seen.insert(value);
        ASSERT_FALSE(bounded.Chance(0));
        ASSERT_TRUE(bounded.Chance(1000));
    }
    EXPECT_EQ(seen.size(), 6u);
}

TEST(ValidateRounds, StrictnessScalesLengthAndHostilityAndTheModelReachesEveryDraw) {
    auto averages = [](int strictness) {
        double hostile = 0, nominal = 0;
        for (int round = 1; round <= 300; ++round) {
            const RoundPlan plan = DrawRound(99, round, strictness);
            hostile += plan.hostileSteps;
            nominal += static_cast<double>(plan.NominalMs());
        }
        return std::make_pair(hostile / 300, nominal / 300);
    };
    const auto [hostile1, nominal1] = averages(1);
    const auto [hostile3, nominal3] = averages(3);
    const auto [hostile7, nominal7] = averages(7);
    EXPECT_LT(hostile1, hostile3);
    EXPECT_LT(hostile3, hostile7);
    EXPECT_LT(nominal1, nominal3);
    EXPECT_LT(nominal3, nominal7);

    std::set<int> frameMultiples;
    std::set<std::string> shutdowns, events;
    int smallest = 1000, largest = 0;
    for (int round = 1; round <= 600; ++round) {
        const RoundPlan plan = DrawRound(5, round, 10);
        ASSERT_GE(plan.cycles.size(), 1u);
        for (const CycleDraw& cycle : plan.cycles) {
            const int sensors = cycle.station.SensorCount();
            smallest = std::min(smallest, sensors);
            largest = std::max(largest, sensors);
            frameMultiples.insert(cycle.station.frameMultiple);
            shutdowns.insert(ShutdownMomentName(cycle.shutdown));
            for (int k : cycle.refusedDevices) ASSERT_LT(k, sensors);
            for (int k : cycle.refusedDefinitions) ASSERT_LT(k, sensors);
            for (const SessionDraw& session : cycle.sessions) {
                int previous = 0;
                for (const SessionEvent& event : session.events) {
                    ASSERT_GE(event.atMs, previous) << "events in time order";
                    ASSERT_LT(event.atMs, session.durationMs);
                    previous = event.atMs;
                    events.insert(SessionEventName(event.kind));
                }
            }
            if (cycle.shutdown == ShutdownMoment::kInPass ||
                cycle.shutdown == ShutdownMoment::kInSession) {
                ASSERT_FALSE(cycle.sessions.empty());
                ASSERT_LT(cycle.shutdownAtMs, cycle.sessions.back().durationMs);
            }
        }
    }
    EXPECT_EQ(smallest, 1);
    EXPECT_GE(largest, 100);
    EXPECT_LE(largest, 128);
    EXPECT_EQ(frameMultiples, (std::set<int>{1, 2, 3}));
    EXPECT_EQ(shutdowns.size(), 6u);
    EXPECT_EQ(events.size(), 11u);
    // The gentlest strictness runs one cycle of one session.
    for (int round = 1; round <= 100; ++round) EXPECT_EQ(DrawRound(5, round, 1).cycles.size(), 1u);
}

TEST(ValidateStation, EveryDrawnStationLoadsWithWholeSamplesPerFrame) {
    void* station =
        dlopen((emulator::testing::BinDir() + "/libVarnixAPI2.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(station, nullptr) << dlerror();
    auto load = reinterpret_cast<decltype(&VarnixSim_LoadProfileText)>(
        dlsym(station, "VarnixSim_LoadProfileText"));
    auto sensorCount =
        reinterpret_cast<decltype(&VarnixSim_SensorCount)>(dlsym(station, "VarnixSim_SensorCount"));
    auto samples = reinterpret_cast<decltype(&VarnixSim_SamplesPerFrame)>(
        dlsym(station, "VarnixSim_SamplesPerFrame"));
    ASSERT_TRUE(load && sensorCount && samples);
    for (int round = 1; round <= 60; ++round) {
        const StationDraw draw = DrawRound(21, round, 10).cycles.front().station;
        SCOPED_TRACE(StationProfileText(draw));
        char error[512] = {};
        ASSERT_EQ(load(StationProfileText(draw).c_str(), error, sizeof error), 0) << error;
        ASSERT_EQ(sensorCount(), static_cast<size_t>(draw.SensorCount()));
        const std::vector<std::string> names = SensorNames(draw);
        ASSERT_EQ(names.size(), static_cast<size_t>(draw.SensorCount()));
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size())
            << "names are unique";
        for (size_t k = 0; k < names.size(); ++k) {
            // Every kind's rate is a whole number of samples in a base frame.
            EXPECT_EQ(samples(k) % draw.frameMultiple, 0) << names[k];
            EXPECT_GT(samples(k), 0) << names[k];
        }
    }
    dlclose(station);
}

TEST(ValidateFootprint, DescriptorsThreadsAndMappingsLeftBehindAreNamed) {
    const std::string module = emulator::testing::BinDir() + "/emulator_not_a_plugin.vdd";
    // As a round does: a runtime's helper thread, started with the process's
    // first thread (ThreadSanitizer's), belongs in the baseline.
    std::thread([] {}).join();
    const ProcessFootprint before = TakeFootprint(module);
    EXPECT_TRUE(before.moduleMappings.empty());

    const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::mutex mutex;
    std::condition_variable wake;
    bool release = false;
    std::thread sleeper([&] {
        // A name that reads like an ended thread's stat line to a careless parser.
        pthread_setname_np(pthread_self(), "left) Z (here");
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait(lock, [&] { return release; });
    });
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(handle, nullptr) << dlerror();
    std::this_thread::sleep_for(20ms);  // the thread has taken its name

    const ProcessFootprint during = TakeFootprint(module);
    const std::vector<std::string> changes = FootprintChanges(before, during);
    std::string all;
    for (const std::string& change : changes) all += change + "\n";
    EXPECT_NE(all.find("file descriptor " + std::to_string(fd) + " (/dev/null) is still open"),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("thread 'left) Z (here'"), std::string::npos) << all;
    EXPECT_NE(all.find("the module is still mapped"), std::string::npos) << all;
    EXPECT_EQ(NewThreads(before, during).size(), 1u);

    if (handle != nullptr) dlclose(handle);
    close(fd);
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    wake.notify_one();
    sleeper.join();
    EXPECT_TRUE(FootprintChanges(before, TakeFootprint(module)).empty());
}

TEST(ValidateJournal, LinesComeWholeInAnyPiecesAndTheLastStepsAreKept) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    RoundJournal journal(fds[1]);
    for (int step = 1; step <= 20; ++step) journal.Step("step " + std::to_string(step));
    journal.Failure("two\nlines");
    journal.Summary("done");
    close(fds[1]);
    std::string bytes;
    char buffer[256];
    for (ssize_t count; (count = read(fds[0], buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, count);
    close(fds[0]);

    std::vector<std::string> seen;
    JournalReader reader([&](const std::string& step) { seen.push_back(step); });
    for (size_t at = 0; at < bytes.size(); at += 7)
        reader.Take(bytes.data() + at, std::min<size_t>(7, bytes.size() - at));
    const RoundReport& report = reader.Report();
    EXPECT_EQ(report.steps, 20u);
    EXPECT_EQ(seen.size(), 20u);
    ASSERT_EQ(report.lastSteps.size(), RoundReport::kStepsKept);
    EXPECT_EQ(report.lastSteps.front(), "step 9");
    EXPECT_EQ(report.lastSteps.back(), "step 20");
    EXPECT_EQ(report.failures, std::vector<std::string>{"two lines"});
    EXPECT_EQ(report.summary, "done");
}

TEST(ValidateProcess, EachEndIsToldApartWithTheStepsBeforeIt) {
    auto never = [] { return false; };
    const RoundProcessEnd passed = RunRoundProcess(
        [](int fd) {
            RoundJournal(fd).Step("only step");
            return 0;
        },
        10s, never);
    EXPECT_EQ(passed.how, RoundProcessEnd::How::kExited);
    EXPECT_EQ(passed.exitCode, 0);
    EXPECT_EQ(passed.report.steps, 1u);

    const RoundProcessEnd crashed = RunRoundProcess(
        [](int fd) {
            RoundJournal(fd).Step("before the crash");
            std::abort();
            return 0;
        },
        10s, never);
    EXPECT_EQ(crashed.how, RoundProcessEnd::How::kSignalled);
    EXPECT_EQ(SignalName(crashed.signal), "SIGABRT");
    ASSERT_EQ(crashed.report.lastSteps.size(), 1u);
    EXPECT_EQ(crashed.report.lastSteps.back(), "before the crash");

    const RoundProcessEnd hung = RunRoundProcess(
        [](int fd) {
            RoundJournal(fd).Step("waiting forever");
            for (;;) pause();
            return 0;
        },
        300ms, never);
    EXPECT_EQ(hung.how, RoundProcessEnd::How::kTimedOut);
    EXPECT_GE(hung.seconds, 0.3);
    EXPECT_LT(hung.seconds, 5.0);
    EXPECT_EQ(hung.report.lastSteps.back(), "waiting forever");

    std::atomic<int> asked{0};
    const RoundProcessEnd stopped = RunRoundProcess(
        [](int) {
            for (;;) pause();
            return 0;
        },
        10s, [&] { return ++asked > 2; });
    EXPECT_EQ(stopped.how, RoundProcessEnd::How::kInterrupted);
}

}  // namespace
}  // namespace varnix::vddhost
