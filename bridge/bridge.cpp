// The nine bridge functions. Each one: a new station object, its getter, the
// entry point called with the arguments unchanged, the object deleted once
// the call has returned, the result returned unchanged. Nothing is cached
// between calls but the loaded library.
#include "bridge/bridge.h"

#include "bridge/station_library.h"

namespace varnix {
namespace {

// Deletes the station object when the call leaves, however it leaves.
class StationObject {
public:
    explicit StationObject(const StationLibrary& library)
        : library_(library), object_(library.newObject()) {}
    ~StationObject() {
        if (object_ != nullptr) {
            library_.deleteObject(object_);
        }
    }
    StationObject(const StationObject&) = delete;
    StationObject& operator=(const StationObject&) = delete;

    // The entry point, or null when the station offers none.
    void* EntryPoint(StationEntry entry) const {
        return object_ == nullptr ? nullptr : library_.getters[static_cast<int>(entry)](object_);
    }

private:
    const StationLibrary& library_;
    VarnixNative* object_;
};

// Calls the entry point as `Fn` with `args`; `neutral` when the station does
// not answer. [host][acquisition] May block for as long as the station does.
template <typename Fn, typename Result, typename... Args>
Result Call(StationEntry entry, Result neutral, Args... args) {
    const StationLibrary& library = Station();
    if (!library.usable) {
        return neutral;
    }
    StationObject object(library);
    void* point = object.EntryPoint(entry);
    if (point == nullptr) {
        return neutral;
    }
    return reinterpret_cast<Fn>(point)(args...);
}

void CallVoid(StationEntry entry) {
    const StationLibrary& library = Station();
    if (!library.usable) {
        return;
    }
    StationObject object(library);
    if (void* point = object.EntryPoint(entry)) {
        reinterpret_cast<VarnixVoidFn>(point)();
    }
}

}  // namespace
}  // namespace varnix

using varnix::StationEntry;

const char* varnix_initialize(VarnixMetadataBuf& pb, int frameThroughput,
                              int channelOrganizationSelection) {
    return varnix::Call<VarnixInitializeFn, const char*>(
        StationEntry::Initialize, nullptr, &pb, frameThroughput, channelOrganizationSelection);
}

const char* varnix_scan(VarnixMetadataBuf& pb) {
    return varnix::Call<VarnixScanFn, const char*>(StationEntry::Scan, nullptr, &pb);
}

void varnix_start() {
    varnix::CallVoid(StationEntry::Start);
}

void varnix_stop() {
    varnix::CallVoid(StationEntry::Stop);
}

void varnix_close() {
    varnix::CallVoid(StationEntry::Close);
}

bool varnix_configure(bool globalTriggerEnable, bool startInput, bool stopInput,
                      bool outputTriggers) {
    return varnix::Call<VarnixConfigureFn, bool>(
        StationEntry::Configure, false, globalTriggerEnable, startInput, stopInput, outputTriggers);
}

bool varnix_pollData(VarnixFrameBuf& frame) {
    return varnix::Call<VarnixPollDataFn, bool>(StationEntry::PollData, false, &frame);
}

bool varnix_changeSensorMode(VarnixMetadataBuf& pb, const char* id, const char* sensorMode) {
    return varnix::Call<VarnixChangeSensorModeFn, bool>(StationEntry::ChangeSensorMode, false, &pb,
                                                        id, sensorMode);
}

const char* varnix_infoRequest(const char* id, int sensorInformationReq) {
    return varnix::Call<VarnixInformationRequestFn, const char*>(StationEntry::InformationRequest,
                                                                 nullptr, id, sensorInformationReq);
}
