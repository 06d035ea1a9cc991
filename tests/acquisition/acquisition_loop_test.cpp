// The acquisition thread against the scripted station: what it polls, what
// each device receives, how it waits, starts and stops.
#include "acquisition/acquisition_loop.h"
#include "acquisition/handoff_thread.h"
#include "host/host_log.h"
#include "tests/acquisition/acquisition_fixture.h"
#include "tests/support/plugin_threads.h"

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <set>
#include <system_error>

using namespace acquisition_test;
using namespace std::chrono_literals;

using AcquisitionLoopTest = AcquisitionFixture;

TEST_F(AcquisitionLoopTest, EveryDeviceGetsItsSliceOfEveryFrameInOrder) {
    constexpr int kFrames = 6;
    // Three devices: 3 samples x 2 streams at 0, 2 samples x 1 stream at 6,
    // then 0 values (still pushed) at 8.
    SetDevices({Device(3, 6, 0), Device(2, 2, 6), Device(4, 0, 8)}, 3);
    ScriptFrames(kFrames, 8);

    varnix::StartAcquisition(plugin);
    for (size_t d = 0; d < 3; ++d) {
        ASSERT_TRUE(ContextOf(d).WaitForPushes(kFrames)) << "device " << d;
    }
    varnix::StopAcquisition();

    const int32_t samples[] = {3, 2, 4};
    const int offsets[] = {0, 6, 8};
    const int lengths[] = {6, 2, 0};
    for (size_t d = 0; d < 3; ++d) {
        const std::vector<fake::Push> pushes = ContextOf(d).Pushes();
        ASSERT_EQ(pushes.size(), static_cast<size_t>(kFrames)) << "device " << d;
        for (int f = 0; f < kFrames; ++f) {
            const fake::Push& push = pushes[static_cast<size_t>(f)];
            EXPECT_EQ(push.firstSampleIndex, int64_t{f} * samples[d])
                << "device " << d << " frame " << f;
            EXPECT_EQ(push.values, Slice(f, offsets[d], lengths[d]))
                << "device " << d << " frame " << f;
            EXPECT_EQ(push.valueCount, lengths[d]);
        }
    }
}

TEST_F(AcquisitionLoopTest, FalsePollsLeaveDevicesUntouchedAndOnlyTheFirstRequestStartsASession) {
    SetDevices({Device(1, 1, 0), Device(1, 1, 1)}, 2);
    fake::Declaration declaration;
    contexts[1]->entryCount = 0;
    VarnixSim_LogPolls(1);
    const varnix::DeviceList devices = plugin.Devices();
    devices[1]->DeclareSession(1, &declaration);

    varnix::StartAcquisition(plugin);
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

    varnix::StartAcquisition(plugin);
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
// Starts 2, 4 and 5 fail: device 1's first start, then its retries at
// frames 0 and 1.
std::atomic<int> g_starts{0};
std::thread FailSomeStarts(std::function<void()> body) {
    const int start = ++g_starts;
    if (start == 2 || start == 4 || start == 5) {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    return std::thread(std::move(body));
}
}  // namespace

// Guards against a thread that cannot start costing other devices frames, or
// the device that lost it never receiving again.
TEST_F(AcquisitionLoopTest, HandOffThreadThatCannotStartCostsOnlyThatDevicesFrames) {
    g_starts = 0;
    varnix::SetHandoffThreadStarter(&FailSomeStarts);
    SetDevices({Device(2, 2, 0), Device(1, 1, 2), Device(1, 1, 3)}, 3);
    ScriptFrames(6, 4);

    varnix::StartAcquisition(plugin);
    ASSERT_TRUE(ContextOf(0).WaitForPushes(6));
    ASSERT_TRUE(ContextOf(1).WaitForPushes(4));
    ASSERT_TRUE(ContextOf(2).WaitForPushes(6));
    EXPECT_EQ(plugin_threads::Named("varnix-handoff").size(), 3u) << "the retry started it";
    varnix::StopAcquisition();
    varnix::SetHandoffThreadStarter(nullptr);

    for (size_t d : {size_t{0}, size_t{2}}) {
        const std::vector<fake::Push> pushes = ContextOf(d).Pushes();
        ASSERT_EQ(pushes.size(), 6u) << "device " << d;
        for (int f = 0; f < 6; ++f) {
            EXPECT_EQ(pushes[static_cast<size_t>(f)].values,
                      Slice(f, d == 0 ? 0 : 3, d == 0 ? 2 : 1));
        }
    }
    const std::vector<fake::Push> missing = ContextOf(1).Pushes();
    ASSERT_EQ(missing.size(), 4u);
    EXPECT_EQ(missing[0].values, Slice(2, 2, 1)) << "frames 0 and 1 were missed";
    EXPECT_EQ(missing[0].firstSampleIndex, 0) << "a missed frame is not counted";
    EXPECT_EQ(missing[3].values, Slice(5, 2, 1));

    EXPECT_EQ(services.CountAtLevel(varnix::kLogError), 1u) << "one line, not one per missed frame";
    const std::vector<fake::Services::Line> lines = services.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].text.find("Device 1"), std::string::npos) << lines[0].text;
    EXPECT_NE(lines[0].text.find("Resource temporarily unavailable"), std::string::npos)
        << lines[0].text;
    EXPECT_EQ(lines[1].level, varnix::kLogInfo);
    EXPECT_NE(lines[1].text.find("after 2 missed frames"), std::string::npos) << lines[1].text;
}

TEST_F(AcquisitionLoopTest, OnePollerStopEndsItAndAStartRestartsIt) {
    VarnixSim_LogPolls(1);
    varnix::StartAcquisition(plugin);
    varnix::StartAcquisition(plugin);  // a second definitions call: no second poller
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
    varnix::StartAcquisition(plugin);
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
    varnix::StartAcquisition(plugin);
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
    varnix::StartAcquisition(plugin);
    ASSERT_TRUE(Eventually([&] { return firstHeld.load(); }));
    ASSERT_TRUE(b.WaitForPushes(1));
    std::this_thread::sleep_for(30ms);  // the second frame's pass now waits at A
    varnix::StopAcquisition();
    EXPECT_EQ(a.Pushes().size(), 2u);
    EXPECT_EQ(b.Pushes().size(), 2u) << "the frame polled before the stop reaches every device";
    EXPECT_EQ(plugin_threads::PluginThreadCount(), 0u)
        << "every plug-in thread ended with the stop";
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(a.Pushes().size() + b.Pushes().size(), 4u) << "nothing is pushed after the stop";
}

// Guards against the pass walking a list the host changes under it, and
// against a changed list losing, repeating or reordering a device's frames
// or leaving threads behind.
TEST_F(AcquisitionLoopTest, HostChangesTheListWhileFramesFlow) {
    Feeder::Install(/*framesPerPause=*/1, /*length=*/4);
    Feeder::recordThreads = true;
    varnix::StartAcquisition(plugin);
    for (int round = 0; round < 20; ++round) {
        SetDevices({Device(1, 2, 0), Device(1, 2, 2)}, 2);  // contexts stay alive to the end
        std::this_thread::sleep_for(5ms);
        SetDevices({}, 0);
    }
    varnix::StopAcquisition();
    EXPECT_EQ(plugin_threads::PluginThreadCount(), 0u);

    size_t devicesFed = 0;
    for (size_t d = 0; d < contexts.size(); ++d) {
        const std::vector<fake::Push> pushes = ContextOf(d).Pushes();
        devicesFed += pushes.empty() ? 0 : 1;
        for (size_t k = 0; k < pushes.size(); ++k) {
            const int frame = FrameOf(pushes[0]) + static_cast<int>(k);
            ASSERT_EQ(pushes[k].firstSampleIndex, static_cast<int64_t>(k)) << "device " << d;
            ASSERT_EQ(pushes[k].values, Slice(frame, d % 2 == 0 ? 0 : 2, 2))
                << "device " << d << " push " << k;
        }
    }
    EXPECT_GT(devicesFed, 0u) << "no list was ever fed a frame";
    EXPECT_LE(Feeder::MostHandoffThreads(), 2u) << "threads of departed devices were left running";
}

// Guards against a loop that falls behind for good after a stall: frames
// waiting at the station are taken at once, not one per 10 ms pause.
TEST_F(AcquisitionLoopTest, BacklogIsCaughtUpInOneCycleInOrderForEveryDevice) {
    constexpr int kBacklog = 40;
    constexpr int kStall = 150;  // more than one cycle takes
    SetDevices({Device(2, 2, 0), Device(1, 1, 2), Device(3, 3, 3)}, 3);
    ScriptFrames(kBacklog, 6);  // a backlog before the first poll
    Feeder::Install(/*framesPerPause=*/0, /*length=*/6, /*firstFrame=*/kBacklog);
    Feeder::burstAtFirstPause = kStall;  // a second backlog, left while the loop pauses

    varnix::StartAcquisition(plugin);
    for (size_t d = 0; d < 3; ++d) {
        ASSERT_TRUE(ContextOf(d).WaitForPushes(kBacklog + kStall)) << "device " << d;
    }
    // The last frame's pushes can come before the poll that ends its cycle.
    ASSERT_TRUE(Eventually([] { return Feeder::Pauses().size() >= 4; }));
    varnix::StopAcquisition();

    const std::vector<VarnixSimCounters> pauses = Feeder::Pauses();
    ASSERT_GE(pauses.size(), 4u);
    EXPECT_EQ(pauses[0].framesDelivered, uint64_t{kBacklog})
        << "the whole backlog in the first cycle";
    EXPECT_EQ(pauses[0].polls, uint64_t{kBacklog} + 1) << "one poll finds the station empty";
    const uint64_t cap = varnix::kMaxFramesPerCycle;
    EXPECT_EQ(pauses[1].framesDelivered, kBacklog + cap) << "a cycle takes at most the cap";
    EXPECT_EQ(pauses[1].polls, kBacklog + 1 + cap) << "the cap ends the cycle without a poll";
    EXPECT_EQ(pauses[2].framesDelivered, kBacklog + 2 * cap);
    EXPECT_EQ(pauses[3].framesDelivered, uint64_t{kBacklog + kStall});
    EXPECT_EQ(pauses[3].polls, uint64_t{kBacklog + kStall} + 2)
        << "one empty poll in the first and the last cycle";

    const int32_t samples[] = {2, 1, 3};
    const int offsets[] = {0, 2, 3};
    for (size_t d = 0; d < 3; ++d) {
        const std::vector<fake::Push> pushes = ContextOf(d).Pushes();
        ASSERT_EQ(pushes.size(), size_t{kBacklog + kStall}) << "device " << d;
        for (int f = 0; f < kBacklog + kStall; ++f) {
            const fake::Push& push = pushes[static_cast<size_t>(f)];
            ASSERT_EQ(push.firstSampleIndex, int64_t{f} * samples[d])
                << "device " << d << " frame " << f;
            ASSERT_EQ(push.values, Slice(f, offsets[d], samples[d]))
                << "device " << d << " frame " << f;
        }
    }
}

// Guards against a thread started per frame (the cost that made the loop
// fall behind on a busy machine) or hand-off threads piling up.
TEST_F(AcquisitionLoopTest, ThreadsStayOnePerDevicePlusTheLoopOverHundredsOfFrames) {
    constexpr size_t kDevices = 4;
    SetDevices({Device(1, 1, 0), Device(1, 1, 1), Device(1, 1, 2), Device(1, 1, 3)}, kDevices);
    Feeder::Install(/*framesPerPause=*/5, /*length=*/4);
    Feeder::recordThreads = true;
    varnix::StartAcquisition(plugin);
    for (size_t d = 0; d < kDevices; ++d)
        ASSERT_TRUE(ContextOf(d).WaitForPushes(300)) << "device " << d;
    varnix::StopAcquisition();

    const std::vector<Feeder::Threads> seen = Feeder::ThreadsSeen();
    ASSERT_GE(seen.size(), 60u);
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].acquisition, 1u) << "pause " << i;
        EXPECT_EQ(seen[i].handoff, seen[0].handoff)
            << "pause " << i << ": a hand-off thread was started or ended";
    }
    EXPECT_EQ(seen[0].handoff.size(), kDevices);
    EXPECT_EQ(plugin_threads::PluginThreadCount(), 0u);
}

// Guards against devices of a second instantiation never getting a thread,
// or the first devices' threads being restarted (and their order lost).
TEST_F(AcquisitionLoopTest, SecondInstantiationGivesTheAddedDevicesTheirOwnThreads) {
    varnix::DeviceList first{Device(1, 1, 0), Device(1, 1, 1)};
    SetDevices(first, 2);
    Feeder::Install(/*framesPerPause=*/1, /*length=*/2);
    varnix::StartAcquisition(plugin);
    ASSERT_TRUE(ContextOf(0).WaitForPushes(5));
    const std::set<int64_t> before = plugin_threads::Named("varnix-handoff");
    EXPECT_EQ(before.size(), 2u);

    varnix::DeviceList both = first;  // as a second OnManualDeviceInstantiation appends
    both.push_back(Device(1, 1, 0));
    both.push_back(Device(1, 1, 1));
    SetDevices(both, 2);
    ASSERT_TRUE(ContextOf(2).WaitForPushes(5)) << "an added device receives frames";
    ASSERT_TRUE(ContextOf(3).WaitForPushes(5));
    const std::set<int64_t> after = plugin_threads::Named("varnix-handoff");
    varnix::StopAcquisition();

    EXPECT_EQ(after.size(), 4u);
    for (int64_t thread : before)
        EXPECT_EQ(after.count(thread), 1u) << "the first devices keep their threads";
    for (size_t d = 0; d < 4; ++d) {
        const std::vector<fake::Push> pushes = ContextOf(d).Pushes();
        for (size_t k = 0; k < pushes.size(); ++k) {
            ASSERT_EQ(pushes[k].firstSampleIndex, static_cast<int64_t>(k)) << "device " << d;
            ASSERT_EQ(FrameOf(pushes[k]), FrameOf(pushes[0]) + static_cast<int>(k))
                << "device " << d;
        }
    }
}

// Guards against a loop that polls without its 10 ms pause (a busy loop).
TEST_F(AcquisitionLoopTest, PollsAtMostOncePerPause) {
    VarnixSimCounters before{};
    VarnixSim_GetCounters(&before);
    const auto start = std::chrono::steady_clock::now();
    varnix::StartAcquisition(plugin);
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

namespace {
// Run once by the acquisition thread, between its first copy of the list and
// its first poll; set before the thread starts.
std::function<void()> g_betweenCopyAndPoll;
void BetweenCopyAndPoll() {
    if (g_betweenCopyAndPoll) {
        const std::function<void()> act = std::move(g_betweenCopyAndPoll);
        g_betweenCopyAndPoll = nullptr;
        act();
    }
}
}  // namespace

// Guards against frames polled in a long cycle reaching only the devices of
// the copy taken at its top: three frames waiting at the station, polled
// after the host registered a third device, reached the first two only.
TEST_F(AcquisitionLoopTest, ADeviceRegisteredDuringACycleGetsTheFramesPolledAfterIt) {
    SetDevices({Device(1, 1, 0), Device(1, 1, 1)}, 3);
    const boost::shared_ptr<varnix::vDevice> third = Device(1, 1, 2);
    ScriptFrames(3, 3);
    g_betweenCopyAndPoll = [&] { AppendDevices({third}); };
    varnix::AcquisitionHooks hooks;
    hooks.afterListCopy = &BetweenCopyAndPoll;
    varnix::SetAcquisitionHooks(hooks);

    varnix::StartAcquisition(plugin);
    for (size_t d = 0; d < 3; ++d) {
        EXPECT_TRUE(ContextOf(d).WaitForPushes(3, std::chrono::seconds(3))) << "device " << d;
    }
    varnix::StopAcquisition();
    for (size_t d = 0; d < 3; ++d) {
        const std::vector<fake::Push> pushes = ContextOf(d).Pushes();
        ASSERT_EQ(pushes.size(), 3u) << "device " << d;
        for (int f = 0; f < 3; ++f) {
            EXPECT_EQ(pushes[static_cast<size_t>(f)].values, Slice(f, static_cast<int>(d), 1))
                << "device " << d << " frame " << f;
        }
    }
}
