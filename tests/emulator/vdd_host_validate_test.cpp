// vdd-host validate as a person runs it: the real module passes and a round
// repeats step for step; each deliberately broken plug-in is caught with the
// right message and the one command that repeats the round.
#include "emulator/vdd_host/validate/round_plan.h"
#include "tests/emulator/run_process.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace varnix::emulator::testing {
namespace {

using vddhost::CycleDraw;
using vddhost::DrawRound;
using vddhost::ShutdownMoment;

constexpr uint64_t kSeed = 3;
constexpr int kStrictness = 4;

std::string Broken(const std::string& fault) {
    return BinDir() + "/emulator_broken_" + fault + ".vdd";
}

// The first round of kSeed whose first cycle `wanted` describes.
int FirstRoundWhere(const std::function<bool(const CycleDraw&)>& wanted) {
    for (int round = 1; round <= 500; ++round) {
        if (wanted(DrawRound(kSeed, round, kStrictness).cycles.front())) return round;
    }
    ADD_FAILURE() << "no round of seed " << kSeed << " draws the cycle wanted";
    return 1;
}

bool StreamsAndShutsDownAfterSessions(const CycleDraw& cycle) {
    return cycle.shutdown == ShutdownMoment::kAfterSessions &&
           static_cast<int>(cycle.refusedDevices.size() + cycle.refusedDefinitions.size()) <
               cycle.station.SensorCount() &&
           cycle.failingOperations.empty();
}

// The host steps of a repeated round, without the times that depend on the
// machine ("Shutdown returned after 3 ms").
std::vector<std::string> Steps(const std::string& output) {
    std::vector<std::string> steps;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("  cycle ", 0) != 0) continue;
        const size_t after = line.find("returned after ");
        if (after != std::string::npos) line.erase(after, line.find(" ms", after) - after);
        steps.push_back(line);
    }
    return steps;
}

// The three numbers of "N pushes checked on M devices (K with every value compared)".
std::vector<long> CheckedCounts(const std::string& output) {
    const size_t at = output.rfind(" pushes checked on ");
    if (at == std::string::npos) return {};
    const size_t start = output.rfind(' ', at - 1) + 1;
    std::istringstream words(output.substr(start));
    long pushes = 0, devices = 0, compared = 0;
    std::string skip;
    words >> pushes >> skip >> skip >> skip >> devices >> skip;
    words.ignore(2);  // " ("
    words >> compared;
    return {pushes, devices, compared};
}

// Runs one round of the broken plug-in and checks the report of a failed round.
std::string ExpectCaught(const std::string& fault, int round, const std::string& extra = "") {
    const std::string repeat = "vdd-host validate --seed " + std::to_string(kSeed) + " --round " +
                               std::to_string(round) + " --strictness " +
                               std::to_string(kStrictness) + " --module " + Broken(fault);
    const ProcessResult run = RunVddHost(repeat.substr(std::string("vdd-host ").size()) + extra);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("round " + std::to_string(round) + ": FAIL"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("  repeat: " + repeat + "\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("  last host steps ("), std::string::npos) << run.output;
    EXPECT_EQ(run.output.rfind("vdd-host: FAIL: 1 of 1 round failed"),
              run.output.rfind("\nvdd-host:") + 1)
        << "the verdict is the last line: " << run.output;
    return run.output;
}

TEST(VddHostValidate, TheRealModulePassesARoundThatRepeatsStepForStep) {
    const int round = FirstRoundWhere([](const CycleDraw& cycle) {
        return StreamsAndShutsDownAfterSessions(cycle) && cycle.sessions.size() > 1;
    });
    const std::string arguments = "validate --seed " + std::to_string(kSeed) + " --round " +
                                  std::to_string(round) + " --strictness " +
                                  std::to_string(kStrictness);
    const ProcessResult first = RunVddHost(arguments);
    ASSERT_EQ(first.exitCode, 0) << first.output;
    EXPECT_NE(first.output.find("vdd-host: PASS: 1 round at strictness"), std::string::npos)
        << first.output;
    // Every registered device had its values compared with the station's.
    const std::vector<long> checked = CheckedCounts(first.output);
    ASSERT_EQ(checked.size(), 3u) << first.output;
    EXPECT_GT(checked[0], 0);
    EXPECT_GT(checked[1], 0);
    EXPECT_EQ(checked[2], checked[1]) << first.output;

    const ProcessResult second = RunVddHost(arguments);
    ASSERT_EQ(second.exitCode, 0) << second.output;
    const std::vector<std::string> steps = Steps(first.output);
    EXPECT_GT(steps.size(), 10u);
    EXPECT_EQ(Steps(second.output), steps);
}

TEST(VddHostValidate, APushAfterShutdownIsCaught) {
    const std::string output =
        ExpectCaught("push_after_shutdown", FirstRoundWhere(StreamsAndShutsDownAfterSessions));
    EXPECT_NE(
        output.find(
            "contract violation: after-shutdown: PushSamples() called after Shutdown returned"),
        std::string::npos)
        << output;
}

TEST(VddHostValidate, AThreadLeftRunningIsCaught) {
    const std::string output = ExpectCaught("thread_left", 1);
    EXPECT_NE(output.find("thread 'left-running' (id "), std::string::npos) << output;
    EXPECT_NE(output.find(") is still running after Shutdown returned"), std::string::npos)
        << output;
    EXPECT_EQ(output.find("after-shutdown"), std::string::npos)
        << "it makes no call after Shutdown: " << output;
}

TEST(VddHostValidate, ACrashWhenADeviceIsRefusedIsCaughtAfterTheRefusingStep) {
    const int round = FirstRoundWhere([](const CycleDraw& cycle) {
        return !cycle.refusedDevices.empty() &&
               cycle.shutdown != ShutdownMoment::kBeforeDefinitions;
    });
    const std::string output = ExpectCaught("crash_on_refusal", round);
    EXPECT_NE(output.find("the round's process crashed: killed by SIG"), std::string::npos)
        << output;
    const size_t refusing = output.find("the host refuses to register");
    const size_t crashedAt = output.find("OnManualDeviceInstantiation\n");
    EXPECT_NE(refusing, std::string::npos) << output;
    EXPECT_LT(refusing, crashedAt) << "the last step is the instantiation that crashed: " << output;
}

TEST(VddHostValidate, AShutdownThatNeverReturnsIsAHangPastTheTimeout) {
    const std::string output = ExpectCaught("hang_in_shutdown", 1, " --timeout 3");
    EXPECT_NE(output.find("the round hung: no end after 3."), std::string::npos) << output;
    const std::vector<std::string> steps = Steps(output);
    ASSERT_FALSE(steps.empty());
    EXPECT_NE(steps.back().find(": Shutdown "), std::string::npos) << output;
}

TEST(VddHostValidate, BadOptionsExitTwoAndAMissingModuleThree) {
    EXPECT_EQ(RunVddHost("validate --strictness 0").exitCode, 2);
    EXPECT_EQ(RunVddHost("validate --strictness 11").exitCode, 2);
    EXPECT_EQ(RunVddHost("validate --rounds 0").exitCode, 2);
    EXPECT_EQ(RunVddHost("validate --seed x").exitCode, 2);
    const ProcessResult help = RunVddHost("validate --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("--round"), std::string::npos);
    EXPECT_NE(help.output.find("vdd-host validate --seed S --round R"), std::string::npos);

    const ProcessResult missing =
        RunVddHost("validate --rounds 3 --module " + ::testing::TempDir() + "/nowhere.vdd");
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.output.find("nowhere.vdd not found"), std::string::npos) << missing.output;
    EXPECT_EQ(CountOf(missing.output, "not found"), 1u)
        << "said once, not once a round: " << missing.output;
}

}  // namespace
}  // namespace varnix::emulator::testing
