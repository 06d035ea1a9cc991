// The hand-off pass allocates nothing per frame, and every hand-off ends in
// exactly one push.
#include "acquisition/device_handoffs.h"
#include "bench/allocation_counter.h"
#include "bench/null_host.h"
#include "device/vdevice.h"

#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

#include <memory>
#include <thread>
#include <vector>

using varnix::vDevice;

namespace {

// Guards against an allocation creeping into the per-frame path (a thread
// started per push, a vector built per push, a string per pass, a copied
// shared list).
TEST(HandoffAllocation, NoAllocationPerHandoffAndOnePushEach) {
    constexpr int kDevices = 4;
    constexpr int kPasses = 50;
    constexpr int32_t kValues = 3 * 27;
    std::vector<std::unique_ptr<varnix::bench::NullContext>> contexts;
    varnix::DeviceList devices;
    for (int d = 0; d < kDevices; ++d) {
        contexts.push_back(std::make_unique<varnix::bench::NullContext>());
        devices.push_back(boost::make_shared<vDevice>(nullptr, 2000.0, 27, kValues, d * kValues, 1,
                                                      std::vector<int32_t>{0}));
        devices.back()->AttachContext(contexts.back().get());
    }
    std::vector<float> frame(static_cast<size_t>(kDevices) * kValues, 0.5f);
    varnix::bench::NullAcquisitionContext context;
    varnix::DeviceHandoffs handoffs(context);
    handoffs.Update(devices);  // starts the threads: allocates, once

    const uint64_t before = varnix::bench::AllocationCount();
    for (int pass = 0; pass < kPasses; ++pass) handoffs.HandOff(frame.data());
    for (const auto& device : devices) {  // the last deliveries are over once each gate is free
        device->Gate().TakeGate();
        device->Gate().ReleaseGate();
    }
    const uint64_t allocations = varnix::bench::AllocationCount() - before;
    handoffs.Update({});

    EXPECT_EQ(allocations, 0u);
    for (int d = 0; d < kDevices; ++d) {
        EXPECT_EQ(contexts[d]->Pushes(), uint64_t{kPasses}) << "device " << d;
        EXPECT_EQ(devices[d]->NextSampleIndex(), int64_t{27} * kPasses) << "device " << d;
    }
}

}  // namespace
