// What vdd-host says about the build it is: the version of the project and
// the commit it was built from (contract/build_version.h, written at build
// time). The module and the station record the same in their files.
#pragma once

#include <string>
#include <vector>

namespace varnix::vddhost {

// "vdd-host 1.2.0 (commit 0123abcd4567)": --version and the top of --help.
std::string VersionLine();

// The equipment subfield of the EDF+/BDF+ files vdd-host writes, fullest
// first: "vdd-host_1.2.0_0123abc" (the commit cut to 7 digits),
// "vdd-host_1.2.0", "vdd-host". No spaces: they separate the subfields.
// The recording field has little room (recording_field.h), so a file takes
// the fullest that leaves room for what a replay reads.
std::vector<std::string> EquipmentChoices();

}  // namespace varnix::vddhost
