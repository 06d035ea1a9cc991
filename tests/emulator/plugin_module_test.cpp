// The module loader's answers for the files a newcomer points it at.
#include "emulator/plugin_module.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

namespace varnix::emulator {
namespace {

std::string BinDir() {
    const char* dir = std::getenv("VARNIX_BIN_DIR");
    return dir != nullptr ? dir : ".";
}

TEST(PluginModule, SaysWhyAFileIsNotAPlugIn) {
    PluginModule module;
    EXPECT_FALSE(module.Load(BinDir() + "/no-such-module.vdd"));
    EXPECT_EQ(module.Error(), ModuleLoadError::kFileMissing);
    EXPECT_NE(module.ErrorText().find("no-such-module.vdd"), std::string::npos);

    const std::string text = ::testing::TempDir() + "/text-file.vdd";
    std::ofstream(text) << "not an ELF object\n";
    EXPECT_FALSE(module.Load(text));
    EXPECT_EQ(module.Error(), ModuleLoadError::kNotLoadable);

    EXPECT_FALSE(module.Load(BinDir() + "/emulator_not_a_plugin.vdd"));
    EXPECT_EQ(module.Error(), ModuleLoadError::kMissingExports) << module.ErrorText();
    EXPECT_EQ(module.MissingExports().size(), 7u);
    EXPECT_NE(module.ErrorText().find("ProvideDeviceDefinitions"), std::string::npos);
    EXPECT_FALSE(module.Loaded());
    EXPECT_TRUE(module.Unload());
}

TEST(PluginModule, ABareFileNameMeansTheFileInTheWorkingDirectory) {
    // Regression: a bare name sent the loader searching its library path, so
    // "--module X.vdd" in the module's own folder was reported as not loadable.
    ASSERT_EQ(chdir(BinDir().c_str()), 0);
    PluginModule module;
    EXPECT_FALSE(module.Load("emulator_not_a_plugin.vdd"));
    EXPECT_EQ(module.Error(), ModuleLoadError::kMissingExports) << module.ErrorText();
}

}  // namespace
}  // namespace varnix::emulator
