// Steps every run of the module shares: the version handshake and the
// unload. Each prints its check lines.
#pragma once

#include "tests/windows/host_services.h"
#include "tests/windows/plugin_module.h"

// [host] HostAPIVersion(nullptr, 1), PluginAPIVersion, Initialise(services).
void CheckHandshake(const PluginModule& module, HostServices& services);

// [host] FreeLibrary, then a pause in which a thread the module left running
// would crash; the module must be gone from the process.
void CheckUnload(PluginModule& module);

// How long after FreeLibrary the host waits for a left-over thread to show.
constexpr win::DWORD kAfterUnloadMs = 300;
