// A station library with the station ABI only and none of the simulation's
// control exports, like a real station: one sensor "Plain 1" of one EMG
// stream at 2000 samples per second, a frame every 13.5 ms after start,
// each value the stream's sample number.
#include "contract/base_frame.h"
#include "contract/station_abi.h"
#include "contract/station_records.h"

#include <chrono>
#include <mutex>
#include <vector>

namespace {

constexpr int32_t kSamplesPerFrame = 27;  // 2000 Hz x 13.5 ms
constexpr auto kFramePeriod = std::chrono::microseconds(varnix::kBaseFramePeriodUs);

struct PlainStation {
    std::mutex mutex;
    bool running = false;
    std::chrono::steady_clock::time_point start;
    long long delivered = 0;
    std::vector<float> frame = std::vector<float>(kSamplesPerFrame);
    double rate = 2000.0;
};

PlainStation& Station() {
    static PlainStation station;
    return station;
}

const char* Initialize(VarnixMetadataBuf* metadata, int32_t, int32_t) {
    metadata->frameMultiple = 1;
    metadata->sampleRates = &Station().rate;
    return "P+1|";
}
const char* Scan(VarnixMetadataBuf*) {
    return "";
}
void Start() {
    std::lock_guard<std::mutex> lock(Station().mutex);
    Station().running = true;
    Station().start = std::chrono::steady_clock::now();
    Station().delivered = 0;
}
void Stop() {
    std::lock_guard<std::mutex> lock(Station().mutex);
    Station().running = false;
}
void Close() {
    Stop();
}
bool Configure(bool, bool, bool, bool) {
    return true;
}
bool PollData(VarnixFrameBuf* frame) {
    PlainStation& station = Station();
    std::lock_guard<std::mutex> lock(station.mutex);
    if (!station.running) return false;
    const long long ready = (std::chrono::steady_clock::now() - station.start) / kFramePeriod;
    if (station.delivered >= ready) return false;
    for (int32_t i = 0; i < kSamplesPerFrame; ++i) {
        station.frame[static_cast<size_t>(i)] =
            static_cast<float>(station.delivered * kSamplesPerFrame + i);
    }
    ++station.delivered;
    frame->samples = station.frame.data();
    return true;
}
bool ChangeSensorMode(VarnixMetadataBuf*, const char*, const char*) {
    return false;
}
const char* InformationRequest(const char* id, int32_t request) {
    if (request == 2) return "VOLTS";
    if (request == 3) return "Plain 1";
    (void)id;
    return "EMG";  // the channel (group "P") and its one component
}

}  // namespace

extern "C" {
__attribute__((visibility("default"))) VarnixNative* VarnixNative_New(void) {
    return reinterpret_cast<VarnixNative*>(new char(0));
}
__attribute__((visibility("default"))) void VarnixNative_Delete(VarnixNative* self) {
    delete reinterpret_cast<char*>(self);
}
#define VARNIX_GETTER(name, function)                                                              \
    __attribute__((visibility("default"))) void* VarnixNative_Get##name##Delegate(VarnixNative*) { \
        return reinterpret_cast<void*>(&function);                                                 \
    }
VARNIX_GETTER(Initialize, Initialize)
VARNIX_GETTER(Scan, Scan)
VARNIX_GETTER(Start, Start)
VARNIX_GETTER(Stop, Stop)
VARNIX_GETTER(Close, Close)
VARNIX_GETTER(Configure, Configure)
VARNIX_GETTER(PollData, PollData)
VARNIX_GETTER(ChangeSensorMode, ChangeSensorMode)
VARNIX_GETTER(InformationRequest, InformationRequest)
}
