// A station library that is missing, or lacks a symbol, is a station that
// does not answer: one level-3 line that says what is missing and where it
// was looked for, no devices, no crash, and a clean shutdown and unload.
// Runs in a process that has not loaded the real station library, with the
// module copied into a folder of its own.
#include "tests/contract/minimal_host.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

fs::path FreshFolder(const std::string& name) {
    fs::path folder =
        fs::temp_directory_path() / ("varnix-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(contract::BinDir() + "/VarnixViconPlugin.vdd", folder / "VarnixViconPlugin.vdd");
    return folder;
}

// The level-3 lines: a station library that cannot be used is one line,
// which says that no devices and no samples follow; nothing repeats it.
std::vector<contract::LogLine> ErrorLines(contract::RecordingServices& services) {
    std::vector<contract::LogLine> errors;
    for (const auto& line : services.Lines()) {
        if (line.level == 3) {
            EXPECT_NE(line.text.find("station library"), std::string::npos) << line.text;
            EXPECT_NE(line.text.find("no devices and no samples"), std::string::npos) << line.text;
            errors.push_back(line);
        }
    }
    return errors;
}

// Runs the host's lifecycle on a module that finds no usable station.
void RunWithoutStation(const fs::path& folder, contract::RecordingServices& services) {
    contract::Module module((folder / "VarnixViconPlugin.vdd").string());
    ASSERT_TRUE(module.Complete()) << dlerror();
    module.HostAPIVersion(nullptr, 1);
    ASSERT_TRUE(module.Initialise(&services));
    contract::CountingBuilder builder;
    module.ProvideDeviceDefinitions(&builder);
    EXPECT_EQ(builder.calls, 0) << "no station, so no device may be published";
    module.BeginDeviceInstantiation(nullptr);
    module.OnManualDeviceInstantiation(nullptr, "Varnix", nullptr);
    module.ProvideDeviceDefinitions(&builder);  // said once, not at every call
    module.Shutdown();
}

TEST(MissingStation, LibraryAbsentIsReportedOnceAndNothingIsPublished) {
    const fs::path folder = FreshFolder("absent");
    contract::RecordingServices services;
    RunWithoutStation(folder, services);
    const auto errors = ErrorLines(services);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].text.find("libVarnixAPI2.so"), std::string::npos) << errors[0].text;
    EXPECT_NE(errors[0].text.find(folder.string()), std::string::npos)
        << "the line must say where it looked: " << errors[0].text;
    fs::remove_all(folder);
}

TEST(MissingStation, LibraryWithoutAGetterIsReportedByName) {
    const fs::path folder = FreshFolder("incomplete");
    fs::copy_file(contract::BinDir() + "/libincomplete_station.so", folder / "libVarnixAPI2.so");
    contract::RecordingServices services;
    RunWithoutStation(folder, services);
    const auto errors = ErrorLines(services);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].text.find("VarnixNative_GetPollDataDelegate"), std::string::npos)
        << errors[0].text;
    EXPECT_NE(errors[0].text.find((folder / "libVarnixAPI2.so").string()), std::string::npos)
        << errors[0].text;
    fs::remove_all(folder);
}

}  // namespace
