// The gate that bounds a device to one delivery in flight.
#include "device/handoff_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

using namespace std::chrono_literals;

TEST(HandoffGate, TakenGateHoldsTheNextTakerUntilReleased) {
    HandoffGate gate;
    std::atomic<bool> running{true};
    ASSERT_TRUE(gate.TakeGate(running));
    EXPECT_EQ(gate.Count(), 0);

    auto second = std::async(std::launch::async, [&] { return gate.TakeGate(running); });
    EXPECT_EQ(second.wait_for(50ms), std::future_status::timeout) << "one delivery at a time";
    gate.ReleaseGate();
    ASSERT_EQ(second.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(second.get());
    EXPECT_EQ(gate.Count(), 0);
    gate.ReleaseGate();
    EXPECT_EQ(gate.Count(), 1);
}

// Guards against a stop that leaves the acquisition thread waiting on a gate.
TEST(HandoffGate, StopInterruptsAWaiterWithoutTakingTheGate) {
    HandoffGate gate;
    std::atomic<bool> running{true};
    ASSERT_TRUE(gate.TakeGate(running));
    auto waiter = std::async(std::launch::async, [&] { return gate.TakeGate(running); });
    EXPECT_EQ(waiter.wait_for(20ms), std::future_status::timeout);
    running = false;
    gate.Interrupt();
    ASSERT_EQ(waiter.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(waiter.get());
    EXPECT_EQ(gate.Count(), 0) << "still held by the delivery in flight";

    // A free gate is taken even while stopping: nothing to wait for.
    gate.ReleaseGate();
    EXPECT_TRUE(gate.TakeGate(running));
}
