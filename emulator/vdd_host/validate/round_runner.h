// One validate round, in the process validate forked for it: the module
// loaded, driven and unloaded once per drawn cycle, then the process's
// descriptors, threads and module mappings compared with what they were
// before the first load.
#pragma once

#include "emulator/vdd_host/common/host_options.h"
#include "emulator/vdd_host/validate/round_journal.h"
#include "emulator/vdd_host/validate/round_plan.h"

namespace varnix::vddhost {

// [host] Runs `plan` against options.modulePath on this process's main
// thread, telling `journal` every host step before taking it. Returns
// kExitOk when the round passed, kExitEnvironment (with the line in the
// journal) when the module or its station cannot be loaded. When a check
// fails it tells the journal what failed and ends the process at once with
// kExitCheckFailed, leaving the module loaded: a plug-in thread may still run
// its code. A plug-in that crashes or hangs takes the process with it; the
// journal then holds the steps that led there.
int RunRound(const RoundPlan& plan, const HostOptions& options, RoundJournal& journal);

}  // namespace varnix::vddhost
