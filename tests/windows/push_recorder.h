// Every PushSamples the module makes, recorded with a copy of its values.
// The module pushes from its own threads, several devices at once: each
// push is recorded under one SRWLOCK, and the host checks the records on
// its own thread once the pushes have stopped (push_check.h).
#pragma once

#include "tests/windows/array.h"
#include "tests/windows/win32.h"

constexpr size_t kMaxDevices = 16;

struct PushEntry {
    int32_t sessionId;
    int64_t firstSampleIndex;
    int32_t samplesPerFrame;
    int32_t channelCount;
    int32_t valueCount;
    bool channelsInOrder;  // channelIndices held 0, 1, ..., channelCount - 1
    bool valuesCopied;     // false: the pointer or count could not be read
    bool overlapped;       // another push of the same device was in flight
    bool onHostThread;     // pushed from the host's own thread
    bool afterShutdown;    // began after Shutdown had returned
    size_t valuesAt;       // first value in the recorder's value pool
    win::DWORD thread;
};

class PushRecorder {
public:
    // [host] The thread that drives the module; pushes must come from others.
    void SetHostThread(win::DWORD thread) { hostThread_ = thread; }
    // [host] From now on a push counts as coming after Shutdown.
    void MarkShutdownReturned() { __atomic_store_n(&shutdownReturned_, true, __ATOMIC_SEQ_CST); }

    // [handoff] One push of device `device`; copies what the pointers lend.
    // Takes the lock for the copy; allocates.
    void Record(size_t device, int32_t sessionId, int64_t firstSampleIndex, int32_t samplesPerFrame,
                const int32_t* channelIndices, int32_t channelCount, const float* values,
                int32_t valueCount);

    // [host] Pushes recorded for `device` so far (takes the lock).
    size_t Count(size_t device);
    // [host] Pushes that began after MarkShutdownReturned (takes the lock).
    size_t AfterShutdown();
    // [host] Tick count of the latest push (takes the lock).
    uint64_t LastPushTick();

    // [host] Read access for the checks; holds the lock while it lives.
    class Reading {
    public:
        explicit Reading(PushRecorder& recorder) : recorder_(recorder), lock_(recorder.lock_) {}
        size_t Count(size_t device) const { return recorder_.entries_[device].Size(); }
        const PushEntry& At(size_t device, size_t index) const {
            return recorder_.entries_[device][index];
        }
        const float* Values(const PushEntry& entry) const {
            return recorder_.values_.Data() + entry.valuesAt;
        }

    private:
        PushRecorder& recorder_;
        win::LockGuard lock_;
    };

private:
    static constexpr int32_t kMostValues = 1 << 20;
    static constexpr int32_t kMostChannels = 4096;

    win::SRWLOCK lock_{};
    Array<PushEntry> entries_[kMaxDevices];  // under lock_
    Array<float> values_;                    // under lock_
    uint64_t lastPushTick_ = 0;              // under lock_
    int inFlight_[kMaxDevices] = {};         // atomic
    win::DWORD hostThread_ = 0;
    bool shutdownReturned_ = false;  // atomic
};
