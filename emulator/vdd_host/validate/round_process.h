// One validate round in a process of its own: fork, let the child run the
// round while its journal comes in over a pipe, and tell how it ended (its
// exit code, the signal that killed it, or the timeout that had it killed).
// The parent stays single-threaded: it polls the pipe with a deadline, so
// every fork is the fork of a process with one thread.
#pragma once

#include "emulator/vdd_host/validate/round_journal.h"

#include <chrono>
#include <functional>
#include <string>

namespace varnix::vddhost {

struct RoundProcessEnd {
    enum class How { kExited, kSignalled, kTimedOut, kInterrupted, kNotStarted };
    How how = How::kNotStarted;
    int exitCode = -1;  // kExited
    int signal = 0;     // kSignalled
    double seconds = 0.0;
    std::string why;  // kNotStarted: what failed
    RoundReport report;
};

// [host] Forks. The child ignores SIGINT (validate ends it), dies with its
// parent, runs `body` with the pipe's write end and exits with its answer;
// stdout and stderr are shared. The parent reads the journal until the child
// ends, `timeout` passes (the child is then killed with SIGKILL) or
// `interrupted` answers true (likewise). Must be called while this process
// has one thread. Blocks for the child's life.
// `onStep`, if given, sees every host step as it arrives.
RoundProcessEnd RunRoundProcess(const std::function<int(int journalFd)>& body,
                                std::chrono::milliseconds timeout,
                                const std::function<bool()>& interrupted,
                                const std::function<void(const std::string&)>& onStep = nullptr);

// "SIGSEGV", "SIGABRT" ... or "signal N".
std::string SignalName(int signal);

}  // namespace varnix::vddhost
