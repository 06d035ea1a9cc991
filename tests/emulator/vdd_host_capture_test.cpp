// vdd-host end to end, as a person runs it: the real module beside the
// default simulated station, each scenario in its own process.
#include "contract/base_frame.h"
#include "tests/emulator/run_process.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <vector>

namespace varnix::emulator::testing {
namespace {

struct SummaryRow {
    std::string device;
    long pushes = 0, samples = 0, expected = 0, delivered = 0, lost = 0, breaks = 0, skipped = 0,
         altered = 0;
};

// The rows of the summary table: "EMG 1  148  3996  3966  148  0  0  0  0 ...".
std::vector<SummaryRow> SummaryRows(const std::string& output) {
    std::vector<SummaryRow> rows;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        SummaryRow row;
        std::string first, second;
        if (!(words >> first >> second) || first != "EMG") continue;
        row.device = first + " " + second;
        if (words >> row.pushes >> row.samples >> row.expected >> row.delivered >> row.lost >>
            row.breaks >> row.skipped >> row.altered) {
            rows.push_back(row);
        }
    }
    return rows;
}

TEST(VddHostCapture, TwoSecondsThroughTheRealModuleLoseNothing) {
    const ProcessResult run = RunVddHost("capture --duration 2");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto rows = SummaryRows(run.output);
    ASSERT_EQ(rows.size(), 8u) << run.output;
    for (const SummaryRow& row : rows) {
        SCOPED_TRACE(row.device);
        // 2000 Hz x 13.5 ms = 27 samples per frame; ~148 frames in 2 s.
        EXPECT_EQ(row.samples, row.pushes * 27);
        // Every frame delivered in the 2 s reached every device; the host
        // keeps listening a little longer, so a few more may follow.
        EXPECT_EQ(row.lost, 0);
        EXPECT_GE(row.pushes, row.delivered);
        EXPECT_LE(row.pushes, row.delivered + 20);
        EXPECT_EQ(row.delivered, rows.front().delivered);
        EXPECT_NEAR(row.delivered, 2.0 / varnix::kBaseFramePeriodS, 8.0);
        EXPECT_EQ(row.breaks, 0);
        EXPECT_EQ(row.skipped, 0);
        EXPECT_EQ(row.altered, 0);
    }
    EXPECT_NE(run.output.find("vdd-host: PASS"), std::string::npos);
    EXPECT_NE(run.output.find("dropped 0"), std::string::npos);
}

TEST(VddHostCapture, RefusedDeviceStillLeavesTheOthersAlignedWithTheirSlices) {
    // The refused sensor still occupies its slice of every frame: the host
    // must not shift the later devices' slices onto it.
    const ProcessResult run =
        RunVddHost("capture --duration 1 --sessions 2 --refuse-device 'EMG 2'");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto rows = SummaryRows(run.output);
    ASSERT_EQ(rows.size(), 7u) << run.output;
    for (const SummaryRow& row : rows) {
        EXPECT_NE(row.device, "EMG 2");
        EXPECT_EQ(row.altered, 0) << row.device;
        EXPECT_EQ(row.breaks, 0) << row.device;
    }
    EXPECT_NE(run.output.find("Failed to instantiate device"), std::string::npos) << run.output;
}

TEST(VddHostCapture, HeldPushesStallThePlugInAndTheHostSaysWhatWasLost) {
    const ProcessResult run = RunVddHost("capture --duration 2 --hold-push 120");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    const size_t verdict = run.output.rfind("vdd-host: FAIL: ");
    ASSERT_NE(verdict, std::string::npos) << run.output;
    EXPECT_EQ(run.output.find('\n', verdict), run.output.size() - 1)
        << "the reason is one last line";
}

TEST(VddHostDescribe, DefaultProfilePublishesEightTwoChannelSensors) {
    const ProcessResult run = RunVddHost("describe");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("8 devices published"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Device 8: EMG 8"), std::string::npos);
    EXPECT_EQ(CountOf(run.output, "manufacturer: Varnix, Inc   type: EMG   version: 1.0"), 8u);
    EXPECT_EQ(CountOf(run.output, "20 (V)"), 8u);
    EXPECT_EQ(CountOf(run.output, "ACC X, ACC Y, ACC Z"), 8u);
    EXPECT_EQ(CountOf(run.output, "streams: 4"), 8u);
    // The trigger parameters and the Start signal belong to the first device only.
    EXPECT_EQ(CountOf(run.output,
                      "parameter StartTrigger \"Start Input\" group Triggering, default false"),
              1u);
    EXPECT_EQ(CountOf(run.output, "parameter TriggerOutputs"), 1u);
    EXPECT_EQ(CountOf(run.output, "signals: Start"), 1u);
    EXPECT_LT(run.output.find("signals: Start"), run.output.find("Device 2:"));
}

}  // namespace
}  // namespace varnix::emulator::testing

namespace varnix::emulator::testing {
namespace {

// The thread id of a trace line "[trace N name/id] Operation(args)".
std::string TraceThread(const std::string& line) {
    const size_t slash = line.find('/');
    const size_t close = line.find(']');
    return slash == std::string::npos || close == std::string::npos
               ? ""
               : line.substr(slash + 1, close - slash - 1);
}

TEST(VddHostCapture, QuietSaysOneLineAndTraceShowsWhichThreadCalled) {
    const ProcessResult quiet = RunVddHost("capture --duration 0.5 --quiet");
    EXPECT_EQ(quiet.exitCode, 0) << quiet.output;
    EXPECT_EQ(quiet.output.rfind("vdd-host: PASS", 0), 0u) << quiet.output;
    EXPECT_EQ(CountOf(quiet.output, "\n"), 1u) << quiet.output;

    const ProcessResult traced = RunVddHost("capture --duration 0.5 --trace");
    EXPECT_EQ(traced.exitCode, 0) << traced.output;
    std::istringstream lines(traced.output);
    std::string line, hostThread;
    std::set<std::string> pushThreads;
    while (std::getline(lines, line)) {
        if (line.rfind("[trace", 0) != 0) continue;
        if (line.find("] export:Initialise(") != std::string::npos) hostThread = TraceThread(line);
        if (line.find("] PushSamples(") != std::string::npos) pushThreads.insert(TraceThread(line));
    }
    ASSERT_FALSE(hostThread.empty()) << traced.output;
    EXPECT_FALSE(pushThreads.empty());
    EXPECT_EQ(pushThreads.count(hostThread), 0u) << "pushes come from the plug-in's threads";
    EXPECT_NE(traced.output.find("] export:Shutdown()"), std::string::npos);
}

}  // namespace
}  // namespace varnix::emulator::testing

namespace varnix::emulator::testing {
namespace {

TEST(VddHostCapture, WithoutTheSimulationExportsOnlyTheHostsOwnChecksRun) {
    const std::string folder = ::testing::TempDir() + "/plain";
    ASSERT_EQ(
        std::system(("mkdir -p '" + folder + "' && cp '" + BinDir() + "/VarnixViconPlugin.vdd' '" +
                     BinDir() + "/plain_station/libVarnixAPI2.so' '" + folder + "/'")
                        .c_str()),
        0);
    const ProcessResult run =
        RunVddHost("capture --duration 1 --module '" + folder + "/VarnixViconPlugin.vdd'");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("no simulation exports: values, deliveries and latency not checked"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("vdd-host: PASS: 1 devices"), std::string::npos);
    EXPECT_NE(run.output.find("(values not checked)"), std::string::npos);
}

}  // namespace
// A plug-in that logs on every push once grew vdd-host by a record and a
// line a push; the capture keeps a window of its log and says what it let go.
TEST(VddHostCapture, AChattyPlugInIsHeardInABoundedWindow) {
    const ProcessResult run =
        RunVddHost("capture --duration 3 --module " + BinDir() + "/emulator_broken_chatty.vdd");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("vdd-host: PASS"), std::string::npos) << run.output;
    const size_t said = run.output.find("plug-in log: ");
    ASSERT_NE(said, std::string::npos) << run.output;
    EXPECT_NE(run.output.find("earlier lines not kept (the last 1000 of each level are)", said),
              std::string::npos)
        << run.output;
}

}  // namespace varnix::emulator::testing
