// The platform interface on Linux: dlopen, pthread names, the fair
// scheduler's time slice, CLOCK_MONOTONIC, futexes and Boost.Thread.
#include "platform/platform.h"

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/locks.hpp>
#include <boost/thread/mutex.hpp>

#include <dlfcn.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <ctime>

namespace varnix::platform {

const char* const kStationLibraryFile = "libVarnixAPI2.so";

// ---- The station library -----------------------------------------------

void* OpenLibrary(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = dlerror();
        error = why != nullptr ? why : "unknown error";
    }
    return library;
}

void* LibrarySymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void ReleaseLibraryAtUnload(void* library) noexcept {
    if (library != nullptr) {
        dlclose(library);
    }
}

std::string ThisModuleFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ThisModuleFolder), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    const std::string file = info.dli_fname;
    const auto slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// ---- Threads -----------------------------------------------------------

void NameCurrentThread(const char* name) noexcept {
    pthread_setname_np(pthread_self(), name);
}

void NameThread(std::thread& thread, const char* name) noexcept {
    pthread_setname_np(thread.native_handle(), name);
}

namespace {

// The slice our threads ask for. With a short slice the kernel's fair
// scheduler (Linux 6.12 on) gives a woken thread an earlier deadline than a
// busy process's, so it runs first instead of after that process's slice.
constexpr uint64_t kShortSliceNs = 500000;

// The kernel's struct sched_attr, first version.
struct SchedAttr {
    uint32_t size;
    uint32_t policy;
    uint64_t flags;
    int32_t nice;
    uint32_t priority;
    uint64_t runtime;  // the slice, for the ordinary policy
    uint64_t deadline;
    uint64_t period;
};

}  // namespace

// Only a thread of the ordinary policy asks, and it keeps its nice value: a
// host that runs its threads under a real-time policy or at another priority
// keeps it. A kernel that does not know the request ignores or refuses it;
// either way the thread runs as before, so the answer is not looked at. The
// slice ends with the thread: nothing to give back.
PromptWakeScope::PromptWakeScope() noexcept {
    constexpr uint32_t kOrdinaryPolicy = 0;  // SCHED_OTHER
    SchedAttr attributes{};
    if (syscall(SYS_sched_getattr, 0, &attributes, sizeof attributes, 0) != 0 ||
        attributes.policy != kOrdinaryPolicy) {
        return;
    }
    attributes.size = sizeof attributes;
    attributes.flags = 0;
    attributes.runtime = kShortSliceNs;
    granted_ = syscall(SYS_sched_setattr, 0, &attributes, 0) == 0;
}

PromptWakeScope::~PromptWakeScope() = default;

// ---- The monotonic clock -------------------------------------------------

MonotonicClock::time_point MonotonicClock::now() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return time_point(duration(static_cast<rep>(now.tv_sec) * 1000000000 + now.tv_nsec));
}

// ---- Waiting on a 32-bit word -------------------------------------------

namespace {

// The futex word is the atomic's own storage: std::atomic<uint32_t> is
// lock-free and has the size of its value.
static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t),
              "a 32-bit atomic is a plain futex word");

uint32_t* Word(const std::atomic<uint32_t>& word) {
    return const_cast<uint32_t*>(reinterpret_cast<const uint32_t*>(&word));
}

}  // namespace

// An interruption (EINTR) or a moved word (EAGAIN) returns too.
void WaitOnWord(const std::atomic<uint32_t>& word, uint32_t seen) noexcept {
    syscall(SYS_futex, Word(word), FUTEX_WAIT_PRIVATE, seen, nullptr, nullptr, 0);
}

// FUTEX_WAIT_BITSET takes an absolute time on CLOCK_MONOTONIC, so the sleep
// ends at the deadline itself, not at a relative time worked out a moment
// before it.
void WaitOnWordUntil(const std::atomic<uint32_t>& word, uint32_t seen,
                     MonotonicClock::time_point deadline) noexcept {
    const int64_t ns = deadline.time_since_epoch().count();
    if (ns <= 0) {
        return;
    }
    const timespec until{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    syscall(SYS_futex, Word(word), FUTEX_WAIT_BITSET_PRIVATE, seen, &until, nullptr,
            FUTEX_BITSET_MATCH_ANY);
}

void WakeAllOnWord(std::atomic<uint32_t>& word) noexcept {
    syscall(SYS_futex, Word(word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

// ---- A mutex with one condition ------------------------------------------

struct MutexWithCondition::Parts {
    boost::mutex mutex;
    boost::condition_variable condition;
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
    boost::unique_lock<boost::mutex> lock(parts_->mutex, boost::adopt_lock);
    parts_->condition.wait(lock);
    lock.release();
}

void MutexWithCondition::NotifyOne() noexcept {
    parts_->condition.notify_one();
}

}  // namespace varnix::platform
