// What vdd-host says about the build, and where it looks for the module: its
// --version and --help, describe's lines about the module and the station,
// the equipment of the BDF+ files it writes, and the recording field that a
// replay reads back.
#include "contract/build_version.h"
#include "emulator/vdd_host/common/default_module.h"
#include "emulator/vdd_host/common/version_text.h"
#include "emulator/vdd_host/recording/recording_field.h"
#include "tests/emulator/run_process.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace varnix::emulator::testing {
namespace {

namespace fs = std::filesystem;

const std::string kVersionLine =
    std::string("vdd-host ") + VARNIX_VERSION_TEXT + " (commit " + VARNIX_VERSION_COMMIT + ")";

TEST(VddHostVersion, VersionHelpAndDescribeNameTheBuild) {
    const ProcessResult version = RunVddHost("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, kVersionLine + "\n");

    const ProcessResult help = RunVddHost("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.output.rfind(kVersionLine + ": a capture host", 0), 0u) << help.output;
    EXPECT_NE(help.output.find("--version"), std::string::npos);

    // Without a command it still says what is missing, after the usage.
    EXPECT_EQ(RunVddHost("").exitCode, 2);

    const ProcessResult describe = RunVddHost("describe");
    ASSERT_EQ(describe.exitCode, 0) << describe.output;
    const std::string recorded =
        std::string("version ") + VARNIX_VERSION_TEXT + ", commit " + VARNIX_VERSION_COMMIT;
    EXPECT_NE(describe.output.find("module: " + BinDir() + "/VarnixViconPlugin.vdd (" + recorded +
                                   "; plug-in API version 2)\n"),
              std::string::npos)
        << describe.output;
    EXPECT_NE(describe.output.find("; " + recorded + ")\n\n"), std::string::npos)
        << describe.output;
}

TEST(VddHostVersion, BdfFilesNameTheBuildThatWroteThem) {
    const std::string path =
        (fs::temp_directory_path() / ("equipment_" + std::to_string(getpid()) + ".bdf")).string();
    const ProcessResult capture = RunVddHost("capture --duration 1 --quiet --edf '" + path + "'");
    ASSERT_EQ(capture.exitCode, 0) << capture.output;
    char header[256] = {};
    std::ifstream(path, std::ios::binary).read(header, sizeof header);
    fs::remove(path);
    // The recording field: 80 characters from byte 88, as EDFlib wrote it.
    const std::string recording(header + 88, 80);
    const std::string commit = std::string(VARNIX_VERSION_COMMIT).substr(0, 7);
    const std::vector<std::string> choices = vddhost::EquipmentChoices();
    ASSERT_EQ(choices.size(), 3u);
    EXPECT_EQ(choices[0], std::string("vdd-host_") + VARNIX_VERSION_TEXT + "_" + commit);
    const vddhost::RecordingSubfields expected =
        vddhost::RecordingSubfieldsOf(1, 1, "; frameMultiple=1");
    EXPECT_EQ(recording.substr(0, 10), "Startdate ") << recording;
    EXPECT_EQ(
        recording.substr(26, 68 - 26).find(expected.equipment + " " + expected.additional + " "),
        0u)
        << recording;
    // A clean build names its commit; a build from uncommitted changes at
    // least its version.
    EXPECT_NE(recording.find(std::string("vdd-host_") + VARNIX_VERSION_TEXT), std::string::npos)
        << recording;
    EXPECT_NE(recording.find("frameMultiple=1 "), std::string::npos) << recording;
}

TEST(RecordingField, TheFrameMultipleNoteIsNeverCut) {
    const std::string note = "; frameMultiple=12";
    const std::vector<std::string> shortEquipment = {"vdd-host"};
    EXPECT_EQ(vddhost::FitRecordingSubfields(shortEquipment, 3, 9, "; frameMultiple=2").additional,
              "session 3 of 9; frameMultiple=2");
    // Guards against the note being cut at the field's end: with the old
    // equipment "vdd-host", "session 1 of 1; frameMultiple=10" lost its last
    // digit and a replay read a frame multiple of 1.
    EXPECT_EQ(vddhost::FitRecordingSubfields(shortEquipment, 1, 1, "; frameMultiple=10").additional,
              "session 1; frameMultiple=10");
    for (size_t length = 1; length <= 40; ++length) {
        const std::vector<std::string> choices = {std::string(length, 'e'), "short"};
        const vddhost::RecordingSubfields fitted =
            vddhost::FitRecordingSubfields(choices, 999, 1000, note);
        const size_t used = fitted.equipment.size() + 1 + fitted.additional.size();
        ASSERT_NE(fitted.additional.find("frameMultiple=12"), std::string::npos) << length;
        EXPECT_LE(used, vddhost::kRecordingSubfieldsWidth) << length;
        // The fullest equipment whenever the note fits beside it.
        EXPECT_EQ(fitted.equipment, length + 1 + 16 <= 40 ? choices[0] : "short") << length;
    }
    EXPECT_EQ(vddhost::FitRecordingSubfields({std::string(10, 'e')}, 999, 1000, note).additional,
              "session 999; frameMultiple=12");
    EXPECT_EQ(vddhost::FitRecordingSubfields({std::string(60, 'e')}, 2, 2, "").additional, "");
}

TEST(DefaultModule, BesideVddHostFirstThenWhereThePackagePutsIt) {
    const fs::path root =
        fs::temp_directory_path() / ("default_module_" + std::to_string(getpid()));
    const fs::path bin = root / "usr/bin";
    const fs::path lib = root / "usr/lib/varnix-vdd";
    fs::create_directories(bin);
    fs::create_directories(lib);
    // Neither: the path beside vdd-host, which the error will name.
    EXPECT_EQ(vddhost::DefaultModulePath(bin.string()), (bin / "VarnixViconPlugin.vdd").string());
    std::ofstream(lib / "VarnixViconPlugin.vdd") << "module";
    EXPECT_EQ(vddhost::DefaultModulePath(bin.string()), (lib / "VarnixViconPlugin.vdd").string());
    std::ofstream(bin / "VarnixViconPlugin.vdd") << "module";
    EXPECT_EQ(vddhost::DefaultModulePath(bin.string()), (bin / "VarnixViconPlugin.vdd").string());
    fs::remove_all(root);
}

}  // namespace
}  // namespace varnix::emulator::testing
