// What tests and the host emulator can read back: counters, delivered
// frames and the geometry the plug-in derives from the answers.
#include "station.h"

#include "station_clock.h"

namespace varnix::station {

void Station::GetCounters(VarnixSimCounters* out) {
    if (out == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    AdvanceLocked(MonotonicNowNs());
    *out = counters_;
    out->objectsCreated = objectsCreated_.load();
    out->objectsDeleted = objectsDeleted_.load();
}

bool Station::GetDeliveredFrame(uint64_t deliveryIndex, VarnixSimFrameInfo* info, float* values,
                                size_t capacity) {
    std::lock_guard<std::mutex> lock(mutex_);
    return delivered_.Get(deliveryIndex, info, values, capacity);
}

bool Station::GetFrameTiming(uint64_t deliveryIndex, VarnixSimFrameTiming* timing) {
    if (timing == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    VarnixSimFrameInfo info{};
    int64_t dueNs = 0;
    if (!delivered_.Get(deliveryIndex, &info, nullptr, 0) ||
        !delivered_.GetDue(deliveryIndex, dueNs)) {
        return false;
    }
    timing->dueTimeNs = dueNs;
    timing->pollableTimeNs = info.readyTimeNs;
    timing->deliveredTimeNs = info.deliveredTimeNs;
    return true;
}

size_t Station::SensorCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    if (geometryStale_) {
        geometry_ = GeometryFromTables(tables_);
        geometryStale_ = false;
    }
    return geometry_.size();
}

int32_t Station::SamplesPerFrame(size_t sensor) {
    SensorCount();
    std::lock_guard<std::mutex> lock(mutex_);
    return sensor < geometry_.size() ? geometry_[sensor].samplesPerStream : 0;
}

int32_t Station::StreamCount(size_t sensor) {
    SensorCount();
    std::lock_guard<std::mutex> lock(mutex_);
    return sensor < geometry_.size() ? geometry_[sensor].streams : 0;
}

int32_t Station::FrameMultiple() {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureLoadedLocked();
    return tables_.frameMultiple;
}

}  // namespace varnix::station
