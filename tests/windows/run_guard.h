// Keeps a broken module from ending the run silently: a crash (in the module,
// or in the host while the module called it with arguments of the wrong
// shape) and a step that hangs each become one FAIL line naming the step,
// then the summary, then exit code 3. Never a silent death, never a dialog.
#pragma once

#include "tests/windows/win32.h"

namespace guard {

constexpr win::DWORD kDefaultStepLimitMs = 60000;
constexpr unsigned kCrashExitCode = 3;

// [host] Once, first thing: the unhandled-exception filter, a vectored
// handler, the watchdog thread, and no error dialogs.
void Install();

// [host] How long a step may take (kDefaultStepLimitMs unless set).
void SetStepLimit(win::DWORD milliseconds);

// [host] Names the step that runs from now on (a text of static storage) and
// gives it the step limit before the watchdog ends the run.
void Step(const char* name);

// [host] Faults at an address inside this module's image are the module's:
// reported at once, before any handler of the module's could hide them. The
// range stays after the module is unloaded (a thread it left running faults
// there) until the next module is watched.
void WatchModule(win::HMODULE module);

// Any thread: FAIL line naming the step, summary, exit code 3.
[[noreturn]] void Fatal(const char* what);

}  // namespace guard
