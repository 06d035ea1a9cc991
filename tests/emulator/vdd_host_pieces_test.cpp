// vdd-host's pieces on made-up pushes, without a module or a station: index
// continuity, the time expectation, the summary's verdict, CSV quoting and
// the plot.
#include "contract/base_frame.h"
#include "emulator/thread_identity.h"
#include "emulator/vdd_host/capture/capture_summary.h"
#include "emulator/vdd_host/capture/csv_export.h"
#include "emulator/vdd_host/common/push_checker.h"
#include "emulator/vdd_host/plot/svg_plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

namespace varnix::vddhost {
namespace {

constexpr int32_t kSamples = 3;

DeviceLayout Layout(size_t device, std::string name) {
    DeviceLayout layout;
    layout.device = device;
    layout.name = std::move(name);
    layout.streams = {StreamName{"EMG", "EMG", 20}, StreamName{"ACC", "ACC X", 25}};
    return layout;
}

class PiecesTest : public ::testing::Test {
protected:
    // A station that was never opened: not simulated, so only the host's own
    // checks run.
    StationObserver station;

    // A push made now, unless a time is given, as the host stamps its pushes.
    void Push(PushChecker& checker, size_t device, int64_t first, int32_t session = 1,
              int64_t timeNs = emulator::MonotonicNowNs()) {
        std::vector<float> values(2 * kSamples);
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<float>(first) + 0.25f * static_cast<float>(i);
        emulator::PushView view;
        view.device = device;
        view.sessionId = session;
        view.firstSampleIndex = first;
        view.samplesPerFrame = kSamples;
        view.values = values.data();
        view.valueCount = static_cast<int32_t>(values.size());
        view.timeNs = timeNs;
        checker.Enqueue(view);
    }
};

TEST_F(PiecesTest, IndexMustContinueUnlessTheHostResetIt) {
    PushChecker checker(station, {Layout(0, "A"), Layout(1, "B")});
    checker.NoteIndexReset(0);
    for (int64_t first : {0, 3, 6}) Push(checker, 0, first);
    Push(checker, 0, 12);  // a frame went missing
    checker.Drain();
    EXPECT_EQ(checker.Tally(0).indexBreaks, 1u);
    ASSERT_EQ(checker.Tally(0).problems.size(), 1u);
    EXPECT_NE(checker.Tally(0).problems[0].find("starts at sample 12, expected 9"),
              std::string::npos);

    // A reset by the host: a push already under way may still continue the
    // old numbering, then the next one restarts at 0.
    checker.NoteIndexReset(0);
    Push(checker, 0, 15);
    Push(checker, 0, 0);
    Push(checker, 0, 3);
    checker.Drain();
    EXPECT_EQ(checker.Tally(0).indexBreaks, 1u);

    // A restart at 0 the host never asked for is a break.
    Push(checker, 0, 0);
    // The other device's numbering is its own.
    Push(checker, 1, 30);
    Push(checker, 1, 33);
    checker.Drain();
    EXPECT_EQ(checker.Tally(0).indexBreaks, 2u);
    EXPECT_EQ(checker.Tally(1).indexBreaks, 0u);
    EXPECT_EQ(checker.Tally(0).pushes, 8u);
    EXPECT_EQ(checker.Tally(0).samples, 8u * kSamples);
    EXPECT_FALSE(checker.ValuesChecked());
}

TEST_F(PiecesTest, AResetIsUsedByTheRestartItCausesAndNotByAFirstPushBeforeIt) {
    // Regression: a device's first push came in before the host's
    // SessionOpened reached that device; the checker let that push use the
    // reset up and took the restart the reset then caused for a break.
    PushChecker checker(station, {Layout(0, "A"), Layout(1, "B")});
    Push(checker, 0, 0);  // first push, before the reset
    checker.NoteIndexReset(0);
    Push(checker, 0, 0);  // the restart the reset caused
    Push(checker, 0, 3);
    checker.Drain();
    EXPECT_EQ(checker.Tally(0).indexBreaks, 0u);

    // A reset before the first push shows in no push; once the numbering has
    // run on past it, it no longer excuses a restart.
    checker.NoteIndexReset(1);
    for (int64_t first : {0, 3, 6}) Push(checker, 1, first);
    Push(checker, 1, 0);
    checker.Drain();
    EXPECT_EQ(checker.Tally(1).indexBreaks, 1u);
}

TEST_F(PiecesTest, ElapsedTimeExpectationCountsEachSessionOnItsOwn) {
    DeviceTally tally;
    tally.samplesPerFrame = 27;
    tally.sessionSpans[1] = {0, 1'000'000'000};              // 1 s
    tally.sessionSpans[2] = {5'000'000'000, 5'500'000'000};  // 0.5 s, after a pause
    const TimeExpectation time = ExpectFromTime(tally, 2000.0);
    EXPECT_DOUBLE_EQ(time.expected, 27 + 2000.0 + 27 + 1000.0);
    EXPECT_GT(time.tolerance, 2 * 27.0);
    EXPECT_LT(time.tolerance, 0.2 * time.expected);
}

TEST_F(PiecesTest, VerdictNamesTheCauseBeforeItsConsequences) {
    PushChecker checker(station, {Layout(0, "A")});
    checker.NoteIndexReset(0);
    Push(checker, 0, 0, 1, 0);
    Push(checker, 0, 9, 1, varnix::kBaseFramePeriodNs);
    checker.Drain();
    CaptureFacts facts;
    facts.ratesHz = {kSamples / varnix::kBaseFramePeriodS};
    facts.counters.framesDropped = 4;
    facts.violationCount = 1;
    facts.violationsByRule["concurrent-push"] = 1;
    facts.violations.push_back(emulator::Violation{
        "concurrent-push", "device A pushed twice at once", "one at a time", 7, "handoff"});
    std::ostringstream table;
    const auto failures = Summarise(checker, facts, false, table);
    ASSERT_EQ(failures.size(), 3u) << table.str();
    EXPECT_NE(failures[0].find("the station dropped 4 frames"), std::string::npos);
    EXPECT_NE(failures[1].find("concurrent-push x1"), std::string::npos);
    EXPECT_NE(failures[2].find("1 first-sample index breaks"), std::string::npos);
    const std::string verdict = Verdict(failures, checker);
    EXPECT_EQ(verdict.rfind("vdd-host: FAIL: the station dropped 4 frames", 0), 0u) << verdict;
    EXPECT_NE(verdict.find("(+2 more)"), std::string::npos);
    EXPECT_EQ(verdict.find('\n'), std::string::npos);
    EXPECT_EQ(Verdict({}, checker).rfind("vdd-host: PASS", 0), 0u);
}

TEST_F(PiecesTest, CsvQuotesNamesAndPlotDrawsEveryStream) {
    const std::vector<DeviceLayout> layouts = {Layout(0, "EMG \"left\", 1"), Layout(1, "B")};
    PushChecker checker(station, layouts);
    const std::string csvPath = ::testing::TempDir() + "/pieces.csv";
    const std::string svgPath = ::testing::TempDir() + "/pieces.svg";
    std::string error;
    CsvWriter csv;
    SignalPlot plot;
    ASSERT_TRUE(csv.Open(csvPath, error)) << error;
    ASSERT_TRUE(plot.Open(svgPath, error)) << error;
    csv.SetLayouts(layouts);
    plot.SetLayouts(layouts, 0);
    plot.SetRates({kSamples / varnix::kBaseFramePeriodS, 0.0});
    checker.AddSink(csv);
    checker.AddSink(plot);
    Push(checker, 0, 0, 1, 10'000'000);
    Push(checker, 0, 3, 1, 23'500'000);
    checker.Drain();  // device B pushed nothing
    ASSERT_TRUE(csv.Close(error)) << error;
    std::ifstream file(csvPath);
    std::string header, first;
    std::getline(file, header);
    std::getline(file, first);
    EXPECT_EQ(first, "1,\"EMG \"\"left\"\", 1\",EMG,EMG,V,0,0");
    size_t rows = 1;
    for (std::string line; std::getline(file, line);) ++rows;
    EXPECT_EQ(rows, 2u * 2u * kSamples);

    ASSERT_TRUE(plot.Write(error)) << error;
    std::stringstream picture;
    picture << std::ifstream(svgPath).rdbuf();
    const std::string text = picture.str();
    size_t polygons = 0;
    for (size_t at = text.find("<polygon"); at != std::string::npos;
         at = text.find("<polygon", at + 1))
        ++polygons;
    EXPECT_EQ(polygons, 2u);  // device A's two streams; B's strips say "no samples"
    EXPECT_NE(text.find("EMG &quot;left&quot;, 1 / ACC / ACC X"), std::string::npos);
    EXPECT_NE(text.find("no samples"), std::string::npos);
    EXPECT_NE(text.find("time (s)"), std::string::npos);
    CsvWriter unwritable;
    EXPECT_FALSE(unwritable.Open("/nonexistent-dir/x.csv", error));
    EXPECT_NE(error.find("/nonexistent-dir/x.csv"), std::string::npos);
}

TEST_F(PiecesTest, PlotOfALongCaptureKeepsItsSizeAndSpansTheWholeCapture) {
    // The plot kept every push until the end; it must keep a fixed envelope
    // and still reach from the first second to the last.
    const std::vector<DeviceLayout> layouts = {Layout(0, "A")};
    PushChecker checker(station, layouts);
    const std::string svgPath = ::testing::TempDir() + "/long.svg";
    std::string error;
    SignalPlot plot;
    ASSERT_TRUE(plot.Open(svgPath, error)) << error;
    plot.SetLayouts(layouts, 0);
    plot.SetRates({kSamples / varnix::kBaseFramePeriodS});
    checker.AddSink(plot);
    for (int64_t frame = 0; frame < 3000; ++frame)
        Push(checker, 0, frame * kSamples, 1, (frame + 1) * varnix::kBaseFramePeriodNs);
    checker.Drain();
    const double seconds = 3000 * varnix::kBaseFramePeriodS;
    EXPECT_GE(plot.SpanS(), seconds);
    EXPECT_LT(plot.SpanS(), 2 * seconds);
    ASSERT_TRUE(plot.Write(error)) << error;
    std::stringstream picture;
    picture << std::ifstream(svgPath).rdbuf();
    const std::string text = picture.str();
    EXPECT_NE(text.find("40.50 s"), std::string::npos)
        << "the title gives the whole capture's length";
    // The envelope reaches both ends of the strip: x from 270 to 270 + 1109.
    const size_t polygon = text.find("<polygon");
    ASSERT_NE(polygon, std::string::npos);
    const std::string points = text.substr(polygon, text.find("/>", polygon) - polygon);
    EXPECT_NE(points.find("\"270,"), std::string::npos) << points.substr(0, 80);
    EXPECT_NE(points.find(" 1379,"), std::string::npos);
}

}  // namespace
}  // namespace varnix::vddhost
