// The platform interface on Windows, built with MinGW-w64: LoadLibrary, the
// loader's module handle, thread descriptions, the multimedia timer's period,
// QueryPerformanceCounter, WaitOnAddress and the standard library's mutex and
// condition variable (over winpthreads).
#include "platform/platform.h"

#include <windows.h>

#include <pthread.h>

#include <condition_variable>
#include <mutex>

namespace varnix::platform {

const char* const kStationLibraryFile = "VarnixAPI2.dll";

namespace {

// The system's text for a Win32 error code, without its line break.
std::string SystemMessage(DWORD code) {
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    if (message.empty()) {
        message = "system error";
    }
    return message + " (error " + std::to_string(code) + ")";
}

}  // namespace

// ---- The station library -----------------------------------------------

// A full path is loaded from its own folder, with the DLLs it needs looked
// for beside it first; a bare name goes through the system's DLL search.
// No error box: a missing or broken library is a line in the host's log.
void* OpenLibrary(const std::string& path, std::string& error) {
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const bool fullPath = path.find_first_of("\\/") != std::string::npos;
    HMODULE library = fullPath
                          ? LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)
                          : LoadLibraryA(path.c_str());
    const DWORD code = GetLastError();
    SetErrorMode(previousMode);
    if (library == nullptr) {
        error = SystemMessage(code);
    }
    return reinterpret_cast<void*>(library);
}

void* LibrarySymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void ReleaseLibraryAtUnload(void* /*library*/) noexcept {}

std::string ThisModuleFolder() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&ThisModuleFolder), &self)) {
        return {};
    }
    char file[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameA(self, file, sizeof file);
    if (length == 0 || length >= sizeof file) {
        return {};
    }
    const std::string path(file, length);
    const auto separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ---- Threads -----------------------------------------------------------

namespace {

// SetThreadDescription came with Windows 10 (1607); looked up at run time so
// that the module still loads where it is missing.
using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);

SetThreadDescriptionFn ThreadDescriber() {
    static const auto describe = reinterpret_cast<SetThreadDescriptionFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetThreadDescription")));
    return describe;
}

void Describe(HANDLE thread, const char* name) noexcept {
    const SetThreadDescriptionFn describe = ThreadDescriber();
    if (describe == nullptr || thread == nullptr) {
        return;
    }
    wchar_t wide[16] = {};
    for (size_t i = 0; i + 1 < sizeof wide / sizeof wide[0] && name[i] != '\0'; ++i) {
        wide[i] = static_cast<unsigned char>(name[i]);
    }
    describe(thread, wide);
}

}  // namespace

void NameCurrentThread(const char* name) noexcept {
    Describe(GetCurrentThread(), name);
}

// A std::thread of MinGW-w64's posix model is a winpthreads thread; its
// Win32 handle comes from winpthreads.
void NameThread(std::thread& thread, const char* name) noexcept {
    Describe(static_cast<HANDLE>(pthread_gethandle(thread.native_handle())), name);
}

// timeBeginPeriod counts its requests, so every scope asks for its own and
// gives it back; the system keeps the finest period any process asked for.
PromptWakeScope::PromptWakeScope() noexcept : granted_(timeBeginPeriod(1) == TIMERR_NOERROR) {}

PromptWakeScope::~PromptWakeScope() {
    if (granted_) {
        timeEndPeriod(1);
    }
}

// ---- The monotonic clock -------------------------------------------------

MonotonicClock::time_point MonotonicClock::now() noexcept {
    static const int64_t frequency = [] {
        LARGE_INTEGER ticksPerSecond{};
        QueryPerformanceFrequency(&ticksPerSecond);
        return static_cast<int64_t>(ticksPerSecond.QuadPart);
    }();
    LARGE_INTEGER ticks{};
    QueryPerformanceCounter(&ticks);
    // Whole seconds and the rest apart, so that the product cannot overflow.
    const int64_t count = ticks.QuadPart;
    const int64_t ns =
        (count / frequency) * 1000000000 + (count % frequency) * 1000000000 / frequency;
    return time_point(duration(ns));
}

// ---- Waiting on a 32-bit word -------------------------------------------

namespace {

volatile VOID* Address(const std::atomic<uint32_t>& word) {
    return const_cast<std::atomic<uint32_t>*>(&word);
}

}  // namespace

void WaitOnWord(const std::atomic<uint32_t>& word, uint32_t seen) noexcept {
    WaitOnAddress(Address(word), &seen, sizeof seen, INFINITE);
}

// WaitOnAddress counts in whole milliseconds: round up, so that the sleep
// never ends before the deadline; the caller looks again either way.
void WaitOnWordUntil(const std::atomic<uint32_t>& word, uint32_t seen,
                     MonotonicClock::time_point deadline) noexcept {
    const auto left = deadline - MonotonicClock::now();
    if (left <= MonotonicClock::duration::zero()) {
        return;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    WaitOnAddress(Address(word), &seen, sizeof seen, static_cast<DWORD>(ms));
}

void WakeAllOnWord(std::atomic<uint32_t>& word) noexcept {
    WakeByAddressAll(const_cast<VOID*>(Address(word)));
}

// ---- A mutex with one condition ------------------------------------------

struct MutexWithCondition::Parts {
    std::mutex mutex;
    std::condition_variable condition;
};

MutexWithCondition::MutexWithCondition() : parts_(std::make_unique<Parts>()) {}

MutexWithCondition::~MutexWithCondition() = default;

void MutexWithCondition::Lock() {
    parts_->mutex.lock();
}

void MutexWithCondition::Unlock() noexcept {
    parts_->mutex.unlock();
}

// The caller holds the mutex: the wait adopts it and leaves it held.
void MutexWithCondition::Wait() {
    std::unique_lock<std::mutex> lock(parts_->mutex, std::adopt_lock);
    parts_->condition.wait(lock);
    lock.release();
}

void MutexWithCondition::NotifyOne() noexcept {
    parts_->condition.notify_one();
}

}  // namespace varnix::platform
