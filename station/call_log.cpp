#include "call_log.h"

#include <pthread.h>

#include <cstring>

namespace varnix::station {

namespace {

void CopyCut(char* field, size_t size, const char* text) {
    std::strncpy(field, text, size - 1);
    field[size - 1] = '\0';
}

}  // namespace

void CallLog::Record(const char* function, const std::string& arguments) {
    VarnixSimCall call{};
    CopyCut(call.function, sizeof call.function, function);
    CopyCut(call.arguments, sizeof call.arguments, arguments.c_str());
    call.thread = static_cast<uint64_t>(pthread_self());

    std::lock_guard<std::mutex> lock(mutex_);
    call.sequence = recorded_;
    if (ring_.size() < kCapacity) {
        ring_.push_back(call);
    } else {
        ring_[recorded_ % kCapacity] = call;
    }
    ++recorded_;
}

size_t CallLog::Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ring_.size();
}

bool CallLog::Get(size_t index, VarnixSimCall* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= ring_.size() || out == nullptr) {
        return false;
    }
    // Once the ring wrapped, the oldest kept call sits where the next goes.
    const size_t oldest = ring_.size() < kCapacity ? 0 : recorded_ % kCapacity;
    *out = ring_[(oldest + index) % ring_.size()];
    return true;
}

void CallLog::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    ring_.clear();
    recorded_ = 0;
}

}  // namespace varnix::station
