// Through the real module: what the plug-in publishes for each shipped
// profile is exactly the profile (sensors, channels, units, components).
#include "plugin_driver.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

using namespace station_test;

namespace {

std::string ReadProfile(const std::string& name) {
    const char* dir = std::getenv("VARNIX_SOURCE_DIR");
    std::ifstream file(std::string(dir != nullptr ? dir : ".") + "/profiles/" + name);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The host unit codes of the units the shipped profiles use.
int32_t UnitCode(const std::string& unit) {
    if (unit == "VOLTS" || unit == "MILLIVOLTS") return 20;
    return 25;
}

void ExpectPublishedIsProfile(varnix::emulator::TestHost& host, const nlohmann::json& profile) {
    const auto definitions = host.Definitions();
    size_t d = 0;
    for (const auto& entry : profile["sensors"]) {
        for (int n = 1; n <= entry.value("count", 1); ++n, ++d) {
            ASSERT_LT(d, definitions.size());
            std::string name = entry["name"];
            const size_t mark = name.find("{n}");
            if (mark != std::string::npos) name.replace(mark, 3, std::to_string(n));
            EXPECT_EQ(definitions[d].name, name);
            ASSERT_EQ(definitions[d].outputs.size(), entry["channels"].size()) << name;
            for (size_t c = 0; c < definitions[d].outputs.size(); ++c) {
                const auto& output = definitions[d].outputs[c];
                const auto& channel = entry["channels"][c];
                EXPECT_EQ(output.name, channel["name"]);
                EXPECT_EQ(output.unitCode, UnitCode(channel["unit"]));
                EXPECT_EQ(output.components, channel["components"].get<std::vector<std::string>>());
            }
        }
    }
    EXPECT_EQ(definitions.size(), d);
    EXPECT_EQ(host.DeviceCount(), d);
}

}  // namespace

TEST(StationThroughPlugin, DefaultAndFileProfilesPublishWhatTheyDescribe) {
    unsetenv("VARNIX_STATION_PROFILE");
    VarnixSim_Reset();
    varnix::emulator::PluginModule module;
    {
        varnix::emulator::TestHost host;
        Publish(host, module);
        ExpectPublishedIsProfile(host, nlohmann::json::parse(VarnixSim_DefaultProfileText()));
        EXPECT_EQ(host.DeviceCount(), 8u);
        host.Shutdown(module);
        EXPECT_EQ(host.Monitor().Count(), 0u) << Violations(host);
    }
    for (const char* name : {"sensors1.json", "sensors16.json", "ramp4.json", "sensors64.json"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(LoadShipped(name));
        varnix::emulator::TestHost host;
        Publish(host, module);
        ExpectPublishedIsProfile(host, nlohmann::json::parse(ReadProfile(name)));
        host.Shutdown(module);
        EXPECT_EQ(host.Monitor().Count(), 0u) << Violations(host);
    }
    EXPECT_TRUE(module.Unload()) << module.ErrorText();
}
