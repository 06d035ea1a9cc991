// Where vdd-host finds the plug-in module when no --module is given: beside
// itself (a build folder: build/bin/), else where the Debian package puts it
// relative to vdd-host (/usr/bin/vdd-host -> /usr/lib/varnix-vdd/). Relative,
// so a package unpacked anywhere (dpkg -x) finds its own module and station.
#pragma once

#include <string>

namespace varnix::vddhost {

// The module beside vdd-host, and the installed one, as vdd-host looks.
constexpr const char* kModuleFile = "VarnixViconPlugin.vdd";
constexpr const char* kInstalledModuleFolder = "../lib/varnix-vdd";

// [host] The first of the places above that holds the module; the first
// place when neither does, so the error names where it was looked for.
// `executableDirectory` is the folder of the running vdd-host.
std::string DefaultModulePath(const std::string& executableDirectory);

}  // namespace varnix::vddhost
