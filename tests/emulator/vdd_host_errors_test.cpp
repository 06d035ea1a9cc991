// What a newcomer sees when something is missing or wrong: one clear line
// and the documented exit code.
#include "tests/emulator/run_process.h"

#include <gtest/gtest.h>

#include <fstream>

namespace varnix::emulator::testing {
namespace {

// The last line of the output.
std::string LastLine(const std::string& output) {
    std::string text = output;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    const size_t newline = text.rfind('\n');
    return newline == std::string::npos ? text : text.substr(newline + 1);
}

TEST(VddHostErrors, UsageErrorsExitTwo) {
    EXPECT_EQ(RunVddHost("").exitCode, 2);
    EXPECT_EQ(RunVddHost("capture --no-such-option").exitCode, 2);
    EXPECT_EQ(RunVddHost("capture --duration -1").exitCode, 2);
    EXPECT_EQ(RunVddHost("capture --fail NoSuchOperation").exitCode, 2);
    EXPECT_EQ(RunVddHost("launch").exitCode, 2);
    const ProcessResult help = RunVddHost("capture --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("--hold-push"), std::string::npos);
    EXPECT_NE(help.output.find("Exit codes"), std::string::npos);
}

TEST(VddHostErrors, EnvironmentErrorsExitThreeWithOneLineSayingWhatToDo) {
    const std::string temp = ::testing::TempDir();

    const ProcessResult missing = RunVddHost("describe --module " + temp + "/nowhere.vdd");
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(LastLine(missing.output).find("nowhere.vdd not found"), std::string::npos)
        << missing.output;
    EXPECT_NE(LastLine(missing.output).find("--module"), std::string::npos);

    const ProcessResult notPlugin =
        RunVddHost("describe --module " + BinDir() + "/emulator_not_a_plugin.vdd");
    EXPECT_EQ(notPlugin.exitCode, 3);
    EXPECT_NE(
        LastLine(notPlugin.output).find("not a device plug-in, missing export(s) HostAPIVersion"),
        std::string::npos)
        << notPlugin.output;

    // The module alone in a folder: no station beside it.
    const std::string lonely = temp + "/lonely";
    ASSERT_EQ(std::system(("mkdir -p '" + lonely + "' && cp '" + BinDir() +
                           "/VarnixViconPlugin.vdd' '" + lonely + "/'")
                              .c_str()),
              0);
    const ProcessResult noStation =
        RunVddHost("capture --module '" + lonely + "/VarnixViconPlugin.vdd'");
    EXPECT_EQ(noStation.exitCode, 3);
    EXPECT_NE(LastLine(noStation.output).find("station library libVarnixAPI2.so not found"),
              std::string::npos)
        << noStation.output;

    const ProcessResult noProfile = RunVddHost("capture --profile " + temp + "/absent.json");
    EXPECT_EQ(noProfile.exitCode, 3);
    EXPECT_NE(LastLine(noProfile.output).find("absent.json not found"), std::string::npos)
        << noProfile.output;

    const std::string broken = temp + "/broken.json";
    std::ofstream(broken)
        << R"({"name": "broken", "sensors": [{"name": "S", "rate": -1, "channels": []}]})";
    const ProcessResult badProfile = RunVddHost("capture --profile " + broken);
    EXPECT_EQ(badProfile.exitCode, 3);
    EXPECT_EQ(LastLine(badProfile.output).rfind("vdd-host: station profile ", 0), 0u)
        << badProfile.output;
    EXPECT_NE(LastLine(badProfile.output).find("broken.json"), std::string::npos);
    EXPECT_NE(LastLine(badProfile.output).find("fix the file"), std::string::npos);
}

TEST(VddHostErrors, OutputsThatCannotBeWrittenFailBeforeTheCaptureWithTheValueAndWhatToDo) {
    const ProcessResult extension = RunVddHost("capture --edf capture.txt");
    EXPECT_EQ(extension.exitCode, 2);
    EXPECT_NE(
        extension.output.find(
            "--edf capture.txt: name the file .bdf (BDF+, 24-bit, recommended for EMG) or .edf"),
        std::string::npos)
        << extension.output;

    const ProcessResult unit = RunVddHost("capture --edf x.bdf --range volts=-1:1");
    EXPECT_EQ(unit.exitCode, 2);
    EXPECT_NE(unit.output.find("unknown unit \"volts\": use one of"), std::string::npos)
        << unit.output;
    const ProcessResult width = RunVddHost("capture --edf x.bdf --range V=-0.0123456:0.01");
    EXPECT_EQ(width.exitCode, 2);
    EXPECT_NE(width.output.find("e.g. -0.01235"), std::string::npos) << width.output;

    // Said at once, not after the capture: no session runs.
    const ProcessResult csv = RunVddHost("capture --duration 30 --csv /nonexistent-dir/x.csv");
    EXPECT_EQ(csv.exitCode, 2);
    EXPECT_NE(LastLine(csv.output).find("cannot write CSV file /nonexistent-dir/x.csv"),
              std::string::npos)
        << csv.output;
    EXPECT_EQ(csv.output.find("session 1"), std::string::npos) << csv.output;
    const ProcessResult edf = RunVddHost("capture --duration 30 --edf /nonexistent-dir/x.bdf");
    EXPECT_EQ(edf.exitCode, 2);
    EXPECT_NE(
        LastLine(edf.output).find("folder /nonexistent-dir does not exist or is not writable"),
        std::string::npos)
        << edf.output;
}

}  // namespace
}  // namespace varnix::emulator::testing
