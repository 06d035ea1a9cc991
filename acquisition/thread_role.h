// The names of the plug-in's own threads, by role, so that a debugger or the
// system's thread list tells them apart (platform::NameCurrentThread keeps 15
// characters at most).
#pragma once

namespace varnix {

constexpr const char* kAcquisitionThreadName = "varnix-acquire";
constexpr const char* kHandoffThreadName = "varnix-handoff";

}  // namespace varnix
