#include "tests/support/plugin_threads.h"

#include <windows.h>

#include <tlhelp32.h>

namespace plugin_threads {

namespace {

using GetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PWSTR*);

// The thread's description as 8-bit text ("" when it has none).
std::string Description(HANDLE thread) {
    static const auto describe = reinterpret_cast<GetThreadDescriptionFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetThreadDescription")));
    PWSTR wide = nullptr;
    if (describe == nullptr || FAILED(describe(thread, &wide)) || wide == nullptr) {
        return {};
    }
    std::string text;
    for (PWSTR c = wide; *c != L'\0'; ++c) text.push_back(static_cast<char>(*c));
    LocalFree(wide);
    return text;
}

// True while the thread has not ended.
bool Running(HANDLE thread) {
    DWORD code = 0;
    return GetExitCodeThread(thread, &code) && code == STILL_ACTIVE;
}

}  // namespace

std::set<int64_t> Named(const std::string& name) {
    std::set<int64_t> ids;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
        const HANDLE thread =
            OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        if (thread == nullptr) continue;
        if (Running(thread) && Description(thread) == name) ids.insert(entry.th32ThreadID);
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return ids;
}

}  // namespace plugin_threads
