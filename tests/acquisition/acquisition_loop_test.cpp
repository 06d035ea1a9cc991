// The acquisition thread against the scripted station: what it polls, what
// each device receives, how it waits, starts and stops.
#include "acquisition/handoff_launcher.h"
#include "tests/acquisition/acquisition_fixture.h"

#include <atomic>
#include <future>
#include <set>

using namespace acquisition_test;
using namespace std::chrono_literals;

using AcquisitionLoopTest = AcquisitionFixture;

TEST_F(AcquisitionLoopTest, EveryDeviceGetsItsSliceOfEveryFrameInOrder) {
    constexpr int kFrames = 6;
    // Three devices: 3 samples x 2 streams at 0, 2 samples x 1 stream at 6,
    // then 0 values (still pushed) at 8.
    SetDevices({Device(3, 6, 0), Device(2, 2, 6), Device(4, 0, 8)}, 3);
    ScriptFrames(kFrames, 8);

    varnix::StartAcquisition();
    for (size_t d = 0; d < 3; ++d) {
        ASSERT_TRUE(ContextOf(d).WaitForPushes(kFrames)) << "device " << d;
    }
    varnix::StopAcquisition();

    const int32_t samples[] = {3, 2, 4};
    const int     offsets[] = {0, 6, 8};
    const int     lengths[] = {6, 2, 0};
    for (size_t d = 0; d < 3; ++d) {
        const std::vector<fake::Push> pushes = ContextOf(d).Pushes();
        ASSERT_EQ(pushes.size(), static_cast<size_t>(kFrames)) << "device " << d;
        for (int f = 0; f < kFrames; ++f) {
            const fake::Push& push = pushes[static_cast<size_t>(f)];
            EXPECT_EQ(push.firstSampleIndex, int64_t{f} * samples[d]) << "device " << d << " frame " << f;
            EXPECT_EQ(push.values, Slice(f, offsets[d], lengths[d])) << "device " << d << " frame " << f;
            EXPECT_EQ(push.valueCount, lengths[d]);
        }
    }
}

TEST_F(AcquisitionLoopTest, FalsePollsLeaveDevicesUntouchedAndOnlyTheFirstRequestStartsASession) {
    SetDevices({Device(1, 1, 0), Device(1, 1, 1)}, 2);
    fake::Declaration declaration;
    contexts[1]->entryCount = 0;
    VarnixSim_LogPolls(1);
    varnix::DeviceList devices;
    {
        std::lock_guard<std::mutex> lock(varnix::State().deviceListMutex);
        devices = varnix::State().devices;
    }
    devices[1]->DeclareSession(1, &declaration);

    varnix::StartAcquisition();
    ASSERT_TRUE(Eventually([] { return CallsOf("pollData").size() >= 5; }));
    EXPECT_TRUE(CallsOf("configure").empty()) << "a request on the second device starts nothing";
    EXPECT_TRUE(ContextOf(0).Pushes().empty());
    EXPECT_TRUE(ContextOf(1).Pushes().empty());
    EXPECT_EQ(devices[0]->NextSampleIndex(), 0);

    contexts[0]->entryCount = 0;
    devices[0]->DeclareSession(1, &declaration);
    ASSERT_TRUE(Eventually([] { return !CallsOf("configure").empty(); }));
    ASSERT_TRUE(Eventually([&] { return !devices[0]->ConfigureRequested(); }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(CallsOf("configure").size(), 1u) << "one session start per request";
    EXPECT_TRUE(devices[1]->ConfigureRequested());
    varnix::StopAcquisition();
}

// Guards against a slow host stalling devices whose hand-off already started,
// or a device getting a second delivery while its first is in flight.
TEST_F(AcquisitionLoopTest, HeldPushBlocksOnlyThatDevicesNextHandOff) {
    // Pass order: B first, then A. A's host holds the first push.
    SetDevices({Device(1, 1, 0), Device(1, 1, 1)}, 2);
    fake::Context& b = ContextOf(0);
    fake::Context& a = ContextOf(1);
    std::promise<void> releaseA;
    std::shared_future<void> released = releaseA.get_future().share();
    std::atomic<int> aInFlight{0}, aMaxInFlight{0};
    a.onPush = [&](const fake::Push& push) {
        const int now = ++aInFlight;
        aMaxInFlight = std::max(aMaxInFlight.load(), now);
        if (push.firstSampleIndex == 0) released.wait_for(10s);
        --aInFlight;
    };
    ScriptFrames(4, 2);
    VarnixSim_LogPolls(1);

    varnix::StartAcquisition();
    ASSERT_TRUE(b.WaitForPushes(2)) << "B gets the second frame while A's first is held";
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(b.Pushes().size(), 2u) << "the pass waits at A: no third frame yet";
    EXPECT_TRUE(a.Pushes().empty());
    const size_t pollsWhileHeld = CallsOf("pollData").size();
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(CallsOf("pollData").size(), pollsWhileHeld) << "no poll while the pass waits";

    releaseA.set_value();
    ASSERT_TRUE(a.WaitForPushes(4));
    ASSERT_TRUE(b.WaitForPushes(4));
    varnix::StopAcquisition();
    EXPECT_EQ(aMaxInFlight.load(), 1);
    const std::vector<fake::Push> pushes = a.Pushes();
    for (size_t f = 0; f < pushes.size(); ++f) {
        EXPECT_EQ(pushes[f].values, Slice(static_cast<int>(f), 1, 1)) << "frame " << f;
    }
}

namespace {
std::atomic<int> g_launchFailures{0};
std::thread FailFirstTwoLaunches(const boost::shared_ptr<vDevice>& device) {
    if (g_launchFailures.fetch_add(1) < 2) {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    return varnix::StartHandoffThread(device);
}
}  // namespace

TEST_F(AcquisitionLoopTest, HandOffThatCannotStartMissesOneFrameAndAcquisitionGoesOn) {
    g_launchFailures = 0;
    varnix::SetHandoffLauncher(&FailFirstTwoLaunches);
    SetDevices({Device(2, 2, 0)}, 1);
    ScriptFrames(5, 2);

    varnix::StartAcquisition();
    ASSERT_TRUE(ContextOf(0).WaitForPushes(3));
    varnix::StopAcquisition();
    varnix::SetHandoffLauncher(nullptr);

    const std::vector<fake::Push> pushes = ContextOf(0).Pushes();
    ASSERT_EQ(pushes.size(), 3u);
    EXPECT_EQ(pushes[0].values, Slice(2, 0, 2)) << "frames 0 and 1 were missed";
    EXPECT_EQ(pushes[0].firstSampleIndex, 0) << "a missed frame is not counted";
    EXPECT_EQ(services.CountAtLevel(varnix::kLogError), 2u);
    const std::vector<fake::Services::Line> lines = services.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].text.find("Device 0"), std::string::npos) << lines[0].text;
    EXPECT_NE(lines[0].text.find("Resource temporarily unavailable"), std::string::npos) << lines[0].text;
}

TEST_F(AcquisitionLoopTest, OnePollerStopEndsItAndAStartRestartsIt) {
    VarnixSim_LogPolls(1);
    varnix::StartAcquisition();
    varnix::StartAcquisition();  // a second definitions call: no second poller
    EXPECT_TRUE(varnix::AcquisitionRunning());
    ASSERT_TRUE(Eventually([] { return CallsOf("pollData").size() >= 10; }));
    varnix::StopAcquisition();
    EXPECT_FALSE(varnix::AcquisitionRunning());

    std::set<uint64_t> pollers;
    for (const StationCall& call : CallsOf("pollData")) pollers.insert(call.thread);
    EXPECT_EQ(pollers.size(), 1u);
    const std::vector<StationCall> calls = StationCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().function, "stop") << "the stop path ends acquisition";
    const size_t afterStop = StationCalls().size();
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(StationCalls().size(), afterStop) << "nothing polls after the stop";

    varnix::StopAcquisition();  // harmless twice
    varnix::StartAcquisition();
    ASSERT_TRUE(Eventually([&] { return CallsOf("pollData").size() > afterStop; }));
    varnix::StopAcquisition();
}

// Guards against a stop that returns while a delivery still runs module code.
TEST_F(AcquisitionLoopTest, StopWaitsForTheDeliveryInFlight) {
    SetDevices({Device(1, 1, 0)}, 1);
    std::atomic<bool> pushReturned{false};
    std::atomic<bool> pushStarted{false};
    ContextOf(0).onPush = [&](const fake::Push&) {
        pushStarted = true;
        std::this_thread::sleep_for(100ms);
        pushReturned = true;
    };
    ScriptFrames(1, 1);
    varnix::StartAcquisition();
    ASSERT_TRUE(Eventually([&] { return pushStarted.load(); }));
    varnix::StopAcquisition();
    EXPECT_TRUE(pushReturned.load());
}

// Guards against a stop that hands a polled frame to some devices only.
TEST_F(AcquisitionLoopTest, StopDuringThePassStillServesEveryDevice) {
    // A's first push is held; the second frame's pass waits at A when the
    // stop comes. B, behind A, must still get that frame.
    SetDevices({Device(1, 1, 0), Device(1, 1, 1)}, 2);
    fake::Context& a = ContextOf(0);
    fake::Context& b = ContextOf(1);
    std::atomic<bool> firstHeld{false};
    a.onPush = [&](const fake::Push& push) {
        if (push.firstSampleIndex != 0) return;
        firstHeld = true;
        std::this_thread::sleep_for(150ms);
    };
    ScriptFrames(2, 2);
    varnix::StartAcquisition();
    ASSERT_TRUE(Eventually([&] { return firstHeld.load(); }));
    ASSERT_TRUE(b.WaitForPushes(1));
    std::this_thread::sleep_for(30ms);  // the second frame's pass now waits at A
    varnix::StopAcquisition();
    EXPECT_EQ(a.Pushes().size(), 2u);
    EXPECT_EQ(b.Pushes().size(), 2u) << "the frame polled before the stop reaches every device";
}

// Guards against the pass walking a list the host changes under it.
TEST_F(AcquisitionLoopTest, HostChangesTheListWhileFramesFlow) {
    ScriptFrames(400, 4);
    varnix::StartAcquisition();
    for (int round = 0; round < 20; ++round) {
        SetDevices({Device(1, 2, 0), Device(1, 2, 2)}, 2);  // contexts stay alive to the end
        std::this_thread::sleep_for(5ms);
        SetDevices({}, 0);
    }
    varnix::StopAcquisition();
    SUCCEED();
}

// Guards against a loop that polls without its 10 ms pause (a busy loop).
TEST_F(AcquisitionLoopTest, PollsAtMostOncePerPause) {
    VarnixSimCounters before{};
    VarnixSim_GetCounters(&before);
    const auto start = std::chrono::steady_clock::now();
    varnix::StartAcquisition();
    std::this_thread::sleep_for(300ms);
    varnix::StopAcquisition();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    VarnixSimCounters after{};
    VarnixSim_GetCounters(&after);
    const uint64_t polls = after.polls - before.polls;
    const uint64_t ceiling = static_cast<uint64_t>(elapsed / 10ms) + 1;
    RecordProperty("polls", std::to_string(polls));
    RecordProperty("elapsed_ms", std::to_string(elapsed / 1ms));
    EXPECT_LE(polls, ceiling) << "each cycle pauses 10 ms after its work";
    EXPECT_GE(polls, 3u);
}
