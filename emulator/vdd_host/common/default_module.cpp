#include "emulator/vdd_host/common/default_module.h"

#include <filesystem>
#include <system_error>

namespace varnix::vddhost {

std::string DefaultModulePath(const std::string& executableDirectory) {
    namespace fs = std::filesystem;
    const fs::path beside = fs::path(executableDirectory) / kModuleFile;
    const fs::path installed =
        (fs::path(executableDirectory) / kInstalledModuleFolder / kModuleFile).lexically_normal();
    std::error_code ignored;
    if (!fs::is_regular_file(beside, ignored) && fs::is_regular_file(installed, ignored))
        return installed.string();
    return beside.string();
}

}  // namespace varnix::vddhost
