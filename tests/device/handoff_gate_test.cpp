// The gate that bounds a device to one delivery in flight.
#include "device/handoff_gate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

using varnix::HandoffGate;

using namespace std::chrono_literals;

TEST(HandoffGate, TakenGateHoldsTheNextTakerUntilReleased) {
    HandoffGate gate;
    gate.TakeGate();
    EXPECT_EQ(gate.Count(), 0);

    auto second = std::async(std::launch::async, [&] { gate.TakeGate(); });
    EXPECT_EQ(second.wait_for(50ms), std::future_status::timeout) << "one delivery at a time";
    gate.ReleaseGate();
    ASSERT_EQ(second.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(gate.Count(), 0);
    gate.ReleaseGate();
    EXPECT_EQ(gate.Count(), 1);
}

TEST(HandoffGate, TryTakeNeverWaitsAndTakesOnlyAFreeGate) {
    HandoffGate gate;
    EXPECT_TRUE(gate.TryTakeGate());
    EXPECT_EQ(gate.Count(), 0);
    EXPECT_FALSE(gate.TryTakeGate()) << "a taken gate is not taken twice";
    EXPECT_EQ(gate.Count(), 0) << "a refused try leaves the count alone";
    gate.ReleaseGate();
    EXPECT_TRUE(gate.TryTakeGate());
    gate.ReleaseGate();
    EXPECT_EQ(gate.Count(), 1);
}
