#include "tests/windows/push_recorder.h"

#include "tests/windows/text.h"

void PushRecorder::Record(size_t device, int32_t sessionId, int64_t firstSampleIndex,
                          int32_t samplesPerFrame, const int32_t* channelIndices,
                          int32_t channelCount, const float* values, int32_t valueCount) {
    if (device >= kMaxDevices) return;
    const bool overlapped = __atomic_fetch_add(&inFlight_[device], 1, __ATOMIC_SEQ_CST) != 0;
    PushEntry entry{};
    entry.sessionId = sessionId;
    entry.firstSampleIndex = firstSampleIndex;
    entry.samplesPerFrame = samplesPerFrame;
    entry.channelCount = channelCount;
    entry.valueCount = valueCount;
    entry.overlapped = overlapped;
    entry.thread = win::GetCurrentThreadId();
    entry.onHostThread = entry.thread == hostThread_;
    entry.afterShutdown = __atomic_load_n(&shutdownReturned_, __ATOMIC_SEQ_CST);
    // Arguments in the wrong registers arrive as nonsense: read the lent
    // arrays only when count and pointer can be what they claim.
    const size_t channelBytes = sizeof(int32_t) * static_cast<size_t>(channelCount);
    entry.channelsInOrder = channelCount >= 0 && channelCount <= kMostChannels &&
                            (channelCount == 0 || ReadableMemory(channelIndices, channelBytes));
    for (int32_t c = 0; entry.channelsInOrder && c < channelCount; ++c) {
        entry.channelsInOrder = channelIndices[c] == c;
    }
    const size_t valueBytes = sizeof(float) * static_cast<size_t>(valueCount);
    entry.valuesCopied = valueCount >= 0 && valueCount <= kMostValues &&
                         (valueCount == 0 || ReadableMemory(values, valueBytes));
    {
        win::LockGuard lock(lock_);
        entry.valuesAt = values_.Size();
        if (entry.valuesCopied) values_.Append(values, static_cast<size_t>(valueCount));
        entries_[device].Push(entry);
        lastPushTick_ = win::GetTickCount64();
    }
    __atomic_fetch_sub(&inFlight_[device], 1, __ATOMIC_SEQ_CST);
}

size_t PushRecorder::Count(size_t device) {
    win::LockGuard lock(lock_);
    return entries_[device].Size();
}

size_t PushRecorder::AfterShutdown() {
    win::LockGuard lock(lock_);
    size_t count = 0;
    for (const Array<PushEntry>& device : entries_) {
        for (size_t i = 0; i < device.Size(); ++i) count += device[i].afterShutdown ? 1 : 0;
    }
    return count;
}

uint64_t PushRecorder::LastPushTick() {
    win::LockGuard lock(lock_);
    return lastPushTick_;
}
