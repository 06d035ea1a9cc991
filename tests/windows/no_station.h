// The module in a folder without VarnixAPI2.dll (and none elsewhere on the
// search path): it must say so once, in one clear level-3 log line naming
// the library, publish no device, register none, answer its bridge calls
// with null, and shut down and unload without a crash.
#pragma once

#include "tests/windows/plugin_module.h"

// [host] Runs the whole scenario on the loaded module and unloads it.
void RunWithoutStation(PluginModule& module);
