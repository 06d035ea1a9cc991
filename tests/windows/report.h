// The host's verdict: one line per check on stdout ("ok   <what>" or
// "FAIL <what>: <expected vs got>") and the closing "N passed, M failed".
// Lines come from the host's thread, and from the crash and hang guard on
// any thread; each is written whole.
#pragma once

#include "tests/windows/text.h"

namespace report {

// Prefixes every check's text, e.g. "cycle 1: " (empty outside a cycle).
void SetScope(const char* scope);

void Ok(const char* what);
void Fail(const char* what, const char* detail);
// `detail` says what was expected and what came; printed only on failure.
void Check(bool passed, const char* what, const char* detail);
inline void Check(bool passed, const Text& what, const Text& detail) {
    Check(passed, what.c_str(), detail.c_str());
}
inline void Check(bool passed, const Text& what, const char* detail) {
    Check(passed, what.c_str(), detail);
}
inline void Check(bool passed, const char* what, const Text& detail) {
    Check(passed, what, detail.c_str());
}

// One check over many items (devices, calls): the first item that fails is
// reported at once, because the module may crash on the next one; the pass
// is reported when all items are through. [host] only.
class RunningCheck {
public:
    explicit RunningCheck(const char* what) : what_(what) {}
    // Reports `detail` if this is the first failure; later ones only count.
    void Fail(const char* detail);
    void Fail(const Text& detail) { Fail(detail.c_str()); }
    // Reports the pass if nothing failed.
    void Finish();
    bool Failed() const { return failures_ > 0; }

private:
    const char* what_;
    unsigned failures_ = 0;
};

// A FAIL line and the summary from a thread that cannot wait for the host's
// thread (crash, hang); returns false when another such report came first.
bool FinalFailure(const char* line);

void Summary();
unsigned Failed();

// One line on stdout or stderr outside the verdict (usage, bad input).
void Print(const char* line);
void PrintError(const char* line);

}  // namespace report
