// The host-side contract checks of the test host, and its thread safety under
// concurrent pushes.
#include "tests/emulator/host_fixture.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace varnix::emulator::testing {
namespace {

using namespace std::chrono_literals;

TEST_F(HostFixture, TwoConcurrentPushesOfOneDeviceAreAViolationButOfTwoDevicesAreNot) {
    host.DeclareSession(0, 5);
    host.DeclareSession(1, 5);
    // The hook holds each push until two pushes are inside the host at once
    // (bounded, so a missing second push cannot hang the test).
    std::mutex mutex;
    std::condition_variable both;
    int inside = 0;
    host.Faults().SetPushHook([&](const PushView&) {
        std::unique_lock<std::mutex> lock(mutex);
        ++inside;
        both.notify_all();
        both.wait_for(lock, 2s, [&] { return inside >= 2; });
        return true;
    });

    auto pushPair = [&](size_t a, size_t b) {
        inside = 0;
        std::thread one([&] { FakeDevice::Release(Push(a, 5, 0)); });
        std::thread two([&] { FakeDevice::Release(Push(b, 5, 0)); });
        one.join();
        two.join();
    };
    pushPair(0, 1);
    EXPECT_EQ(host.Monitor().Count("concurrent-push"), 0u);
    pushPair(0, 0);
    EXPECT_EQ(host.Monitor().Count("concurrent-push"), 1u);
    EXPECT_EQ(host.Context(0).PushCount(), 3u);
}

TEST_F(HostFixture, PushChecksCatchUndeclaredSessionsAndWrongValueCounts) {
    FakeDevice::Release(Push(0, 9, 0));  // nothing declared yet
    EXPECT_EQ(host.Monitor().Count("undeclared-session"), 1u);

    host.DeclareSession(0, 9);
    FakeDevice::Release(Push(0, 9, 0));
    FakeDevice::Release(Push(0, 8, 2));  // a session declared to no one
    EXPECT_EQ(host.Monitor().Count("undeclared-session"), 2u);
    EXPECT_EQ(host.Monitor().Count("value-count"), 0u);

    // Six values with two samples per frame: disagrees with both the declared
    // count (4) and the definition (2 components x 2).
    const int32_t channels[2] = {0, 1};
    const float values[6] = {};
    FakeDevice::Release(host.Context(0).PushSamples(9, 4, 2, channels, 2, values, 6));
    EXPECT_EQ(host.Monitor().Count("value-count"), 2u);

    // The same session id declared to the other device only is still undeclared here.
    host.DeclareSession(1, 11);
    FakeDevice::Release(Push(0, 11, 6));
    EXPECT_EQ(host.Monitor().Count("undeclared-session"), 3u);
    const auto kept = host.Monitor().Violations();
    ASSERT_FALSE(kept.empty());
    EXPECT_NE(kept.back().expected.find("9"), std::string::npos) << Describe(kept.back());
}

TEST_F(HostFixture, EveryCallAfterShutdownIsAViolation) {
    host.DeclareSession(0, 1);
    FakeDevice::Release(Push(0, 1, 0));
    EXPECT_EQ(host.Monitor().Count(), 0u);
    host.Core().NoteShutdownReturned();
    FakeDevice::Release(Push(0, 1, 2));
    host.Services()->Log("late", 1);
    host.Services()->GetTimebase();
    EXPECT_EQ(host.Monitor().Count("after-shutdown"), 3u);
}

TEST_F(HostFixture, UsingALentObjectAfterItsCallIsAViolation) {
    host.Builder().SetLent(false);
    FakeDevice::Release(host.Builder().AddSignal("Start"));
    EXPECT_EQ(host.Monitor().Count("builder-not-lent"), 1u);

    // A device that keeps its declaration and uses it after DeclareSession.
    struct KeepingDevice : FakeDevice {
        bool DeclareSession(int32_t,
                            ViconDigitalDevice::ISessionDeclaration* declaration) override {
            kept = declaration;
            return true;
        }
        ViconDigitalDevice::ISessionDeclaration* kept = nullptr;
    } keeping;
    FakeDevice::Release(
        host.Registrar()->RegisterDevice(nullptr, "EMG1", nullptr, "EMG1", &keeping));
    host.DeclareSession(2, 3);
    ASSERT_NE(keeping.kept, nullptr);
    FakeDevice::Release(keeping.kept->SetValueCount(4));
    EXPECT_EQ(host.Monitor().Count("declaration-not-lent"), 1u);
}

TEST_F(HostFixture, ManyThreadsPushingManyDevicesLoseNoRecord) {
    constexpr int kDevices = 8;
    constexpr int kPushes = 300;
    std::vector<std::unique_ptr<FakeDevice>> devices;
    for (int d = 0; d < kDevices; ++d) {
        devices.push_back(std::make_unique<FakeDevice>());
        FakeDevice::Release(host.Registrar()->RegisterDevice(nullptr, "EMG1", nullptr, "EMG1",
                                                             devices.back().get()));
        host.DeclareSession(2 + d, 1);
    }
    std::vector<std::thread> threads;
    for (int d = 0; d < kDevices; ++d) {
        threads.emplace_back([&, d] {
            for (int j = 0; j < kPushes; ++j) FakeDevice::Release(Push(2 + d, 1, int64_t{2} * j));
            host.Services()->Log("done", 1);
        });
    }
    for (auto& thread : threads) thread.join();

    EXPECT_EQ(host.Monitor().Count(), 0u);
    std::set<uint64_t> sequences;
    for (const CallRecord& record : host.Log().Snapshot()) sequences.insert(record.sequence);
    EXPECT_EQ(sequences.size(), host.Log().Size());
    EXPECT_EQ(host.Log().Count("PushSamples"), size_t{kDevices} * kPushes);
    EXPECT_EQ(host.LogLines().size(), size_t{kDevices});
    for (int d = 0; d < kDevices; ++d) {
        const auto pushes = host.Context(2 + d).Pushes();
        ASSERT_EQ(pushes.size(), size_t{kPushes});
        for (int j = 0; j < kPushes; ++j) {
            EXPECT_EQ(pushes[j].pushNumber, uint64_t(j));
            EXPECT_EQ(pushes[j].firstSampleIndex, int64_t{2} * j);
            EXPECT_EQ(pushes[j].values, (std::vector<float>{1.f, 2.f, 3.f, 4.f}));
        }
    }
}

}  // namespace
}  // namespace varnix::emulator::testing
