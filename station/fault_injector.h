// The faults a test or the host emulator injects into the station's answers:
// polls that fail for a while, answers and the item list replaced by null
// or empty texts, every call slowed down. The scheduled disconnect belongs
// to the frame clock (frame_clock.h), since it cuts the flow of frames at
// its moment.
#pragma once

#include "station_tables.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace varnix::station {

// [any] Every member takes the injector's own mutex briefly (the station may
// hold its own then; the injector never takes the station's) and may
// allocate; none blocks otherwise, SleepIfSlow aside.
class FaultInjector {
public:
    void FailPollsUntil(int64_t atNs);
    bool PollsFail(int64_t nowNs) const;

    // (id, code) answers null (empty false) or "" (empty true); a null id:
    // that code on every id.
    void FaultAnswer(const char* id, int32_t code, bool empty);
    // The faulted answer, when one is set: null or "".
    std::optional<const char*> Answer(const std::string& id, int32_t code) const;

    void FaultItemList(bool empty);
    std::optional<const char*> ItemList() const;

    // Every station call sleeps this long first, without any lock held.
    void SlowAnswers(int64_t milliseconds) { slowMs_.store(milliseconds); }
    void SleepIfSlow() const;

    // Forgets every fault.
    void Clear();

private:
    static const char* AnswerFor(bool empty) { return empty ? "" : nullptr; }

    mutable std::mutex mutex_;
    int64_t failPollsUntilNs_ = 0;
    std::map<AnswerKey, bool> answers_;     // (id, code) -> empty instead of null
    std::map<int32_t, bool> anyIdAnswers_;  // code -> empty instead of null
    std::optional<bool> itemList_;          // set: null (false) or empty (true)
    // Outside the mutex, so that every call reads it without waiting.
    std::atomic<int64_t> slowMs_{0};  // [any] SlowAnswers sets, every call reads
};

}  // namespace varnix::station
