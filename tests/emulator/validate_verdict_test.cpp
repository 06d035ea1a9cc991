// What a validate round reports from the host's records: pushes of the real
// module are doctored on the way to the checker, and the verdict names each
// device that lost, altered or never got its frames, and each breach of the
// contract. Its own process: the module keeps process-wide state.
#include "emulator/vdd_host/validate/round_verdict.h"
#include "tests/emulator/in_process_capture.h"

namespace varnix::emulator::testing {
namespace {

std::string Lines(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

TEST(ValidateVerdict, NamesEveryDeviceThatLostOrAlteredAndEveryBreach) {
    InProcessCapture capture;
    capture.Run(0.6, [](vddhost::PushChecker& checker, const PushView& push) {
        std::vector<float> values(push.values, push.values + push.valueCount);
        PushView doctored = push;
        doctored.values = values.data();
        if (push.device == 0 && push.pushNumber == 4) values[1] += 1.0f;  // altered
        if (push.device == 1 && push.pushNumber == 4) return;             // one frame lost
        if (push.device == 2) return;                                     // every frame lost
        checker.Enqueue(doctored);
    });
    vddhost::PushChecker& checker = *capture.checker;
    ASSERT_GE(checker.DeviceCount(), 4u);
    // As a round does: every frame delivered before Shutdown was due to every device.
    checker.SetDeliveryCutoff(capture.environment.station.Counters().framesDelivered);
    const std::string names[] = {"'" + checker.Layouts()[0].name + "'",
                                 "'" + checker.Layouts()[1].name + "'",
                                 "'" + checker.Layouts()[2].name + "'"};

    const std::string delivery = Lines(vddhost::DeliveryFailures(checker));
    EXPECT_NE(
        delivery.find("device " + names[0] + ": 1 pushes differ from what the station delivered"),
        std::string::npos)
        << delivery;
    EXPECT_NE(delivery.find("device " + names[1] + ": 1 delivered frames never pushed"),
              std::string::npos)
        << delivery;
    EXPECT_NE(delivery.find("device " + names[1] + ": 1 first-sample index breaks"),
              std::string::npos)
        << delivery;
    EXPECT_NE(
        delivery.find("device " + names[2] + " received no push, while the others received the "),
        std::string::npos)
        << delivery;
    // An altered frame is also one the device never got as delivered.
    EXPECT_NE(delivery.find("device " + names[0] + " lost 1 of the "), std::string::npos)
        << delivery;
    EXPECT_NE(delivery.find("device " + names[1] + " lost 1 of the "), std::string::npos)
        << delivery;
    EXPECT_EQ(CountOf(delivery, "\n"), 6u) << "the honest devices are not named: " << delivery;

    EXPECT_TRUE(vddhost::ContractFailures(capture.host).empty());
    for (int i = 0; i < 5; ++i)
        capture.host.Monitor().Report("concurrent-push", "device X pushed twice", "one at a time");
    const std::string contract = Lines(vddhost::ContractFailures(capture.host));
    EXPECT_NE(
        contract.find(
            "contract violation: concurrent-push: device X pushed twice (expected one at a time)"),
        std::string::npos)
        << contract;
    EXPECT_NE(contract.find("5 contract violations in all (concurrent-push x5)"), std::string::npos)
        << contract;
}

}  // namespace
}  // namespace varnix::emulator::testing
