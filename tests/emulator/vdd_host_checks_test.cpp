// The push checks catch a slice that was altered, reordered or skipped, not
// only a gap in the numbering: pushes of the real module are doctored on the
// way to the checker.
#include "tests/emulator/in_process_capture.h"

#include <algorithm>
#include <vector>

namespace varnix::emulator::testing {
namespace {

TEST(VddHostChecks, DoctoredPushesAreCaughtAndHonestOnesPass) {
    InProcessCapture capture;
    capture.Run(0.8, [](vddhost::PushChecker& checker, const PushView& push) {
        std::vector<float> values(push.values, push.values + push.valueCount);
        PushView doctored = push;
        doctored.values = values.data();
        if (push.device == 0 && push.pushNumber == 5) values[3] += 1.0f;  // altered
        if (push.device == 1 && push.pushNumber == 5) {                   // two streams swapped
            std::swap_ranges(values.begin(), values.begin() + push.samplesPerFrame,
                             values.begin() + push.samplesPerFrame);
        }
        if (push.device == 2 && push.pushNumber == 5) return;  // never reaches the host
        checker.Enqueue(doctored);
        // Pushed twice: one error, and the pushes after it still line up.
        if (push.device == 3 && push.pushNumber == 5) checker.Enqueue(doctored);
    });
    const auto& checker = *capture.checker;
    ASSERT_GE(checker.DeviceCount(), 5u);
    ASSERT_TRUE(checker.ValuesChecked());
    EXPECT_EQ(checker.Tally(0).valueMismatches, 1u);
    EXPECT_EQ(checker.Tally(0).indexBreaks, 0u);
    EXPECT_EQ(checker.Tally(1).valueMismatches, 1u);
    EXPECT_EQ(checker.Tally(2).skippedFrames, 1u);
    EXPECT_EQ(checker.Tally(2).indexBreaks, 1u);
    EXPECT_EQ(checker.Tally(2).valueMismatches, 0u);
    EXPECT_EQ(checker.Tally(3).valueMismatches, 1u);
    EXPECT_EQ(checker.Tally(3).indexBreaks, 1u);
    EXPECT_EQ(checker.Tally(3).skippedFrames, 0u);
    for (size_t d = 4; d < checker.DeviceCount(); ++d) {
        SCOPED_TRACE(d);
        const auto& tally = checker.Tally(d);
        EXPECT_EQ(tally.valueMismatches + tally.skippedFrames + tally.indexBreaks, 0u);
        ASSERT_TRUE(tally.firstDelivery.has_value());
        EXPECT_EQ(tally.pushes,
                  capture.environment.station.Counters().framesDelivered - *tally.firstDelivery);
        EXPECT_EQ(tally.latency.Count(), tally.pushes);
        EXPECT_GT(tally.latency.Min(), 0);
    }
    EXPECT_EQ(capture.host.Monitor().Count(), 0u);
}

}  // namespace
}  // namespace varnix::emulator::testing
