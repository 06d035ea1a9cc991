// The module exports exactly its sixteen symbols: anything more could clash
// with the host's own libraries, anything less breaks a host or a station.
#include "tests/contract/minimal_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

std::set<std::string> DefinedDynamicSymbols(const std::string& file) {
    std::set<std::string> symbols;
    const std::string command = "nm -DC --defined-only '" + file + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return symbols;
    }
    char line[1024];
    while (fgets(line, sizeof line, pipe) != nullptr) {
        // "<address> <type> <name>"
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        const auto first = text.find(' ');
        const auto second = first == std::string::npos ? first : text.find(' ', first + 1);
        if (second != std::string::npos) {
            symbols.insert(text.substr(second + 1));
        }
    }
    pclose(pipe);
    return symbols;
}

TEST(ExportedSymbols, ExactlyTheSixteenOfTheContract) {
    const std::set<std::string> expected = {
        "HostAPIVersion",
        "PluginAPIVersion",
        "Initialise",
        "ProvideDeviceDefinitions",
        "BeginDeviceInstantiation",
        "OnManualDeviceInstantiation",
        "Shutdown",
        "varnix_initialize(VarnixMetadataBuf&, int, int)",
        "varnix_scan(VarnixMetadataBuf&)",
        "varnix_start()",
        "varnix_stop()",
        "varnix_close()",
        "varnix_configure(bool, bool, bool, bool)",
        "varnix_pollData(VarnixFrameBuf&)",
        "varnix_changeSensorMode(VarnixMetadataBuf&, char const*, char const*)",
        "varnix_infoRequest(char const*, int)",
    };
    const std::set<std::string> actual =
        DefinedDynamicSymbols(contract::BinDir() + "/VarnixViconPlugin.vdd");
    for (const auto& name : expected) {
        EXPECT_TRUE(actual.count(name)) << "missing export: " << name;
    }
    for (const auto& name : actual) {
        EXPECT_TRUE(expected.count(name)) << "unexpected export: " << name;
    }
}

TEST(ExportedSymbols, ModuleLoadsLocallyAndNowAndUnloads) {
    const std::string path = contract::BinDir() + "/VarnixViconPlugin.vdd";
    {
        contract::Module module(path);
        ASSERT_NE(module.handle, nullptr) << dlerror();
        EXPECT_TRUE(module.Complete());
    }
    // Nothing in the module pins it in memory: after dlclose it is gone.
    EXPECT_EQ(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the module stayed loaded after dlclose";
}

}  // namespace
