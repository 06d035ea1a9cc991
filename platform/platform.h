// What the plug-in asks of the operating system, in one small interface.
// One file per platform implements it and the build compiles exactly one:
// platform_linux.cpp (glibc and Linux system calls) and platform_windows.cpp
// (Win32, built with MinGW-w64). Everything else in the plug-in is the same
// source on both.
//
// Thread tags as in host/host_interfaces.h: [host], [acquisition], [handoff];
// [any] for all of them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace varnix::platform {

// ---- The station library -----------------------------------------------

// The station library's file name: "libVarnixAPI2.so" on Linux,
// "VarnixAPI2.dll" on Windows.
extern const char* const kStationLibraryFile;

// [host][acquisition] Loads the library at `path`: a full path, or a bare
// file name for the system's own search. Null on failure, with `error` set
// to the system's reason. Blocks on the disk; allocates.
void* OpenLibrary(const std::string& path, std::string& error);

// [any] The address of the exported `name` in `library`, or null.
void* LibrarySymbol(void* library, const char* name);

// [host] At the module's unload: gives the library back where that is safe.
// On Windows it stays loaded (freeing a library under the loader's lock is
// unsafe, and a module loaded again finds it working).
void ReleaseLibraryAtUnload(void* library) noexcept;

// [any] The folder that holds the file this code was linked into (the
// plug-in module, or a test program linking the plug-in's code), with a
// trailing separator; "" when the loader cannot tell. Allocates.
std::string ThisModuleFolder();

// [any] True when `path` names an existing file.
bool FileExists(const std::string& path);

// ---- Threads -----------------------------------------------------------

// [acquisition][handoff] Names the calling thread, so that a debugger or the
// system's thread list tells the plug-in's threads apart; at most 15
// characters are kept. A name is a help, not a need: failures are silent.
void NameCurrentThread(const char* name) noexcept;

// [acquisition] Names a thread this thread started, so that it carries the
// name from the moment its start returns.
void NameThread(std::thread& thread, const char* name) noexcept;

// [acquisition][handoff] While it lives, asks the system to run the calling
// thread soon after it wakes: each of our threads runs for microseconds per
// frame, but the next poll or a push waits for it. Linux: a short time slice
// for the kernel's fair scheduler, kept until the thread ends. Windows: a
// 1 ms system timer for the process while any such scope lives, so that a
// sleep to a deadline is not rounded up to the default 15.6 ms tick. The
// thread's share of the CPU stays what it was. Never fails visibly.
class PromptWakeScope {
public:
    PromptWakeScope() noexcept;
    // Trivial on Linux; on Windows it gives the timer period back.
    ~PromptWakeScope();  // NOLINT(performance-trivially-destructible)
    PromptWakeScope(const PromptWakeScope&) = delete;
    PromptWakeScope& operator=(const PromptWakeScope&) = delete;

private:
    bool granted_ = false;  // the owning thread only
};

// ---- The monotonic clock -------------------------------------------------

// A clock that never goes back and ignores changes of the wall time, with
// nanosecond ticks: CLOCK_MONOTONIC on Linux (the clock the simulated
// station stamps its frames with), QueryPerformanceCounter on Windows.
struct MonotonicClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<MonotonicClock>;
    static constexpr bool is_steady = true;

    // [any] Does not block, lock or allocate.
    static time_point now() noexcept;
};

// ---- Waiting on a 32-bit word -------------------------------------------
// A thread sleeps while a word still holds the value it last saw; another
// thread changes the word and wakes every sleeper. The kernel compares and
// sleeps in one step, so a change between the sleeper's look and its sleep
// makes the sleep return at once. Every wait may also return early for no
// reason: the caller looks again. None allocates or locks.

// [any] Sleeps while `word` holds `seen`. Blocks.
void WaitOnWord(const std::atomic<uint32_t>& word, uint32_t seen) noexcept;

// [any] The same, but no later than `deadline`. Blocks.
void WaitOnWordUntil(const std::atomic<uint32_t>& word, uint32_t seen,
                     MonotonicClock::time_point deadline) noexcept;

// [any] Wakes every thread sleeping on `word` (after the caller changed
// it). One system call; does not block.
void WakeAllOnWord(std::atomic<uint32_t>& word) noexcept;

// ---- A mutex with one condition ------------------------------------------

// A mutex and a condition variable that waits on it: Boost.Thread's on Linux;
// on Windows the standard library's, since Debian has no MinGW build of
// Boost.Thread and its headers alone insist on a monotonic clock for the
// condition variable that winpthreads refuses. Built once per owner, never
// per frame.
class MutexWithCondition {
public:
    // Allocates. On Linux throws boost::thread_resource_error when the
    // platform lacks the objects behind them.
    MutexWithCondition();
    ~MutexWithCondition();
    MutexWithCondition(const MutexWithCondition&) = delete;
    MutexWithCondition& operator=(const MutexWithCondition&) = delete;

    // [any] Blocks while another thread holds the mutex.
    void Lock();
    void Unlock() noexcept;
    // [any] With the mutex held: releases it, sleeps until a NotifyOne (or
    // for no reason), then holds it again. Blocks.
    void Wait();
    // [any] Wakes one waiter, if any. Does not block.
    void NotifyOne() noexcept;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace varnix::platform
