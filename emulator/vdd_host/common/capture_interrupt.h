// Ctrl-C (SIGINT) and SIGTERM during a capture: the first ends the capture
// the way the end of its time does (the running session is closed, the
// plug-in shut down, every file completed, the summary printed); a second
// one quits at once, leaving the files as they are.
#pragma once

namespace varnix::vddhost {

// [host] Constructed and destroyed on the main thread; at most one at a time.
// The handler only stores the signal in a lock-free atomic, or, the second
// time, writes one line and calls _exit: nothing in it allocates or locks.
class CaptureInterrupt {
public:
    // Installs the handlers for SIGINT and SIGTERM.
    CaptureInterrupt();
    // Puts the previous handlers back.
    ~CaptureInterrupt();
    CaptureInterrupt(const CaptureInterrupt&) = delete;
    CaptureInterrupt& operator=(const CaptureInterrupt&) = delete;

    // [any thread] The first signal received, 0 while none.
    int Signal() const;
    bool Requested() const { return Signal() != 0; }
    // The exit code for a capture ended by Signal(): 128 + its number (130 for SIGINT).
    int ExitCode() const { return 128 + Signal(); }
    // "SIGINT" / "SIGTERM".
    const char* SignalName() const;
};

}  // namespace varnix::vddhost
