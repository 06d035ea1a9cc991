#include "tests/windows/run_guard.h"

#include "tests/windows/pe_image.h"
#include "tests/windows/report.h"
#include "tests/windows/text.h"

namespace guard {

namespace {

// Zero-initialised globals, written by the host's thread and read by the
// handler and the watchdog on theirs (atomic loads and stores).
const char* gStep;
uint64_t gDeadlineMs;
win::DWORD gStepLimitMs = kDefaultStepLimitMs;
uintptr_t gModuleBegin;
uintptr_t gModuleEnd;

constexpr win::DWORD kAccessViolation = 0xC0000005u;

struct ExceptionName {
    win::DWORD code;
    const char* name;
};
// The codes that mean the code at the address cannot go on. Others (a C++
// exception of the module's own runtime, a debug print) are not faults.
constexpr ExceptionName kFatalExceptions[] = {
    {kAccessViolation, "access violation"},
    {0xC0000006u, "in-page error"},
    {0xC000001Du, "illegal instruction"},
    {0xC0000025u, "non-continuable exception"},
    {0xC000008Cu, "array bounds exceeded"},
    {0xC0000094u, "integer division by zero"},
    {0xC0000095u, "integer overflow"},
    {0xC0000096u, "privileged instruction"},
    {0xC00000FDu, "stack overflow"},
    {0xC0000409u, "stack buffer overrun"},
    {0x80000003u, "breakpoint"},
};

const char* FatalName(win::DWORD code) {
    for (const ExceptionName& known : kFatalExceptions) {
        if (known.code == code) return known.name;
    }
    return nullptr;
}

const char* CurrentStep() {
    const char* step = __atomic_load_n(&gStep, __ATOMIC_SEQ_CST);
    return step != nullptr ? step : "start-up";
}

ImageRange ModuleImage() {
    ImageRange range;
    range.begin = __atomic_load_n(&gModuleBegin, __ATOMIC_SEQ_CST);
    range.end = __atomic_load_n(&gModuleEnd, __ATOMIC_SEQ_CST);
    return range;
}

Text& AddPlace(Text& text, const void* address) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(address);
    const ImageRange host = HostImage();
    const ImageRange module = ModuleImage();
    if (module.Holds(address)) return text.Add("the module+").Hex(at - module.begin);
    if (host.Holds(address)) return text.Add("the reference host+").Hex(at - host.begin);
    return text.Hex(at);
}

[[noreturn]] void EndRun(const Text& line) {
    report::FinalFailure(line.c_str());
    win::TerminateProcess(win::GetCurrentProcess(), kCrashExitCode);
    for (;;) win::Sleep(1000);
}

[[noreturn]] void ReportCrash(const win::EXCEPTION_RECORD& record) {
    Text line(CurrentStep());
    line.Add(": the process crashed: exception ").Hex(record.code);
    const char* name = FatalName(record.code);
    if (name != nullptr) line.Add(" (").Add(name).Add(")");
    if (record.code == kAccessViolation && record.parameterCount >= 2) {
        const uintptr_t kind = record.parameters[0];  // 0 read, 1 write, 8 execute
        line.Add(kind == 1 ? ", writing " : kind == 8 ? ", executing " : ", reading ");
        line.Hex(record.parameters[1]);
    }
    line.Add(" at ");
    AddPlace(line, record.address).Add(" on thread ").Unsigned(win::GetCurrentThreadId());
    EndRun(line);
}

// Sees every exception first. Reports only faults inside the host or the
// module: the system raises and handles faults of its own (probing a text
// with IsBadStringPtrA, for one), and those must go on to their handlers.
win::LONG __stdcall OnFirstChance(win::EXCEPTION_POINTERS* info) {
    const win::EXCEPTION_RECORD& record = *info->record;
    if (FatalName(record.code) == nullptr) return win::kContinueSearch;
    if (!HostImage().Holds(record.address) && !ModuleImage().Holds(record.address)) {
        return win::kContinueSearch;
    }
    ReportCrash(record);
}

// Anything nobody handled, wherever it was raised.
win::LONG __stdcall OnUnhandled(win::EXCEPTION_POINTERS* info) {
    ReportCrash(*info->record);
}

win::DWORD __stdcall Watch(void*) {
    for (;;) {
        win::Sleep(200);
        const uint64_t deadline = __atomic_load_n(&gDeadlineMs, __ATOMIC_SEQ_CST);
        if (deadline != 0 && win::GetTickCount64() > deadline) {
            Text line(CurrentStep());
            line.Add(": did not finish within ").Unsigned(gStepLimitMs).Add(" ms");
            line.Add(" (the host's watchdog ended the run)");
            EndRun(line);
        }
    }
}

}  // namespace

void Install() {
    win::SetErrorMode(win::kNoErrorDialogs);
    win::SetUnhandledExceptionFilter(OnUnhandled);
    win::AddVectoredExceptionHandler(1, OnFirstChance);
    win::HANDLE watchdog = win::CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
    if (watchdog == nullptr) Fatal("could not start the watchdog thread");
    win::CloseHandle(watchdog);
}

void SetStepLimit(win::DWORD milliseconds) {
    gStepLimitMs = milliseconds;
}

void Step(const char* name) {
    __atomic_store_n(&gStep, name, __ATOMIC_SEQ_CST);
    __atomic_store_n(&gDeadlineMs, win::GetTickCount64() + gStepLimitMs, __ATOMIC_SEQ_CST);
}

void WatchModule(win::HMODULE module) {
    const ImageRange range = ImageOf(module);
    __atomic_store_n(&gModuleBegin, range.begin, __ATOMIC_SEQ_CST);
    __atomic_store_n(&gModuleEnd, range.end, __ATOMIC_SEQ_CST);
    // A module's runtime may install a filter of its own when it loads.
    win::SetUnhandledExceptionFilter(OnUnhandled);
}

void Fatal(const char* what) {
    Text line(CurrentStep());
    line.Add(": ").Add(what);
    EndRun(line);
}

}  // namespace guard
