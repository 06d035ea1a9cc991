#include "tests/windows/report.h"

#include "tests/windows/freestanding.h"
#include "tests/windows/win32.h"

namespace report {

namespace {

// Plain zero-initialised globals: no constructor runs before the entry point.
win::SRWLOCK gOutputLock;
unsigned gPassed;
unsigned gFailed;
int gFinalReported;
char gScope[64];

// Writes the line and a newline in one call, so lines of two threads never mix.
void WriteWhole(win::DWORD which, const char* line) {
    Text whole(line);
    whole.Add("\n");
    win::DWORD written = 0;
    win::WriteFile(win::GetStdHandle(which), whole.c_str(), static_cast<win::DWORD>(whole.Length()),
                   &written, nullptr);
}

void WriteLocked(win::DWORD which, const char* line) {
    win::LockGuard lock(gOutputLock);
    WriteWhole(which, line);
}

}  // namespace

void SetScope(const char* scope) {
    CopyText(gScope, sizeof gScope, scope);
}

void Ok(const char* what) {
    Text line("ok   ");
    line.Add(gScope).Add(what);
    __atomic_fetch_add(&gPassed, 1u, __ATOMIC_SEQ_CST);
    WriteLocked(win::kStdOutput, line.c_str());
}

void Fail(const char* what, const char* detail) {
    Text line("FAIL ");
    line.Add(gScope).Add(what).Add(": ").Add(detail);
    __atomic_fetch_add(&gFailed, 1u, __ATOMIC_SEQ_CST);
    WriteLocked(win::kStdOutput, line.c_str());
}

void Check(bool passed, const char* what, const char* detail) {
    if (passed) {
        Ok(what);
    } else {
        Fail(what, detail);
    }
}

void RunningCheck::Fail(const char* detail) {
    if (failures_++ == 0) report::Fail(what_, detail);
}

void RunningCheck::Finish() {
    if (failures_ == 0) report::Ok(what_);
}

bool FinalFailure(const char* line) {
    if (__atomic_exchange_n(&gFinalReported, 1, __ATOMIC_SEQ_CST) != 0) return false;
    __atomic_fetch_add(&gFailed, 1u, __ATOMIC_SEQ_CST);
    // The thread that crashed may hold the lock: wait a second, then write anyway.
    for (int i = 0; i < 100 && win::TryAcquireSRWLockExclusive(&gOutputLock) == 0; ++i) {
        win::Sleep(10);
    }
    Text fail("FAIL ");
    fail.Add(gScope).Add(line);
    WriteWhole(win::kStdOutput, fail.c_str());
    Text summary;
    summary.Unsigned(gPassed).Add(" passed, ").Unsigned(gFailed).Add(" failed");
    WriteWhole(win::kStdOutput, summary.c_str());
    // The lock stays taken: the caller ends the process, and no line may
    // follow the summary.
    return true;
}

void Summary() {
    Text summary;
    summary.Unsigned(gPassed).Add(" passed, ").Unsigned(gFailed).Add(" failed");
    WriteLocked(win::kStdOutput, summary.c_str());
}

unsigned Failed() {
    return __atomic_load_n(&gFailed, __ATOMIC_SEQ_CST);
}

void Print(const char* line) {
    WriteLocked(win::kStdOutput, line);
}
void PrintError(const char* line) {
    WriteLocked(win::kStdError, line);
}

}  // namespace report
