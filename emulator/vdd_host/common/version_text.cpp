#include "emulator/vdd_host/common/version_text.h"

#include "contract/build_version.h"

namespace varnix::vddhost {

namespace {

constexpr size_t kEquipmentCommitDigits = 7;

// The commit's hash out of what git described: "v1.2.0-3-g0123abcd4567"
// and "0123abcd4567" both give "0123abc".
std::string ShortCommit(const std::string& described) {
    const size_t tagged = described.rfind("-g");
    const std::string hash = tagged == std::string::npos ? described : described.substr(tagged + 2);
    return hash.substr(0, kEquipmentCommitDigits);
}

}  // namespace

std::string VersionLine() {
    return std::string("vdd-host ") + VARNIX_VERSION_TEXT + " (commit " + VARNIX_VERSION_COMMIT +
           ")";
}

std::vector<std::string> EquipmentChoices() {
    const std::string versioned = std::string("vdd-host_") + VARNIX_VERSION_TEXT;
    return {versioned + "_" + ShortCommit(VARNIX_VERSION_COMMIT), versioned, "vdd-host"};
}

}  // namespace varnix::vddhost
