// Guards against a checker that shares the plug-in's reading of the frame:
// a plug-in whose samples-per-frame rule is off by one must fail vdd-host's
// checks, which compare every push against the station's own layout.
#include "tests/emulator/run_process.h"

#include <gtest/gtest.h>

namespace varnix::emulator::testing {
namespace {

TEST(VddHostGeometry, PlugInOneSampleShortPerFrameIsCaught) {
    const ProcessResult wrong = RunVddHost("capture --module '" + BinDir() +
                                           "/emulator_off_by_one_plugin.vdd' --duration 1");
    EXPECT_EQ(wrong.exitCode, 1) << wrong.output;
    EXPECT_NE(wrong.output.find("vdd-host: FAIL"), std::string::npos) << wrong.output;
    // Every device, also the first, whose short slice is the front of its
    // true one: 26 samples per stream where the station's frames hold 27.
    for (int sensor = 1; sensor <= 8; ++sensor) {
        EXPECT_NE(wrong.output.find("EMG " + std::to_string(sensor) +
                                    ": the first push matches no frame the station delivered"),
                  std::string::npos)
            << "EMG " << sensor << "\n"
            << wrong.output;
    }
    EXPECT_NE(
        wrong.output.find(
            "it carries 26 samples per stream (104 values), the station's frames 27 (108 values)"),
        std::string::npos)
        << wrong.output;

    const ProcessResult right = RunVddHost("capture --duration 1");
    EXPECT_EQ(right.exitCode, 0) << right.output;
    EXPECT_NE(right.output.find("vdd-host: PASS"), std::string::npos) << right.output;
}

}  // namespace
}  // namespace varnix::emulator::testing
