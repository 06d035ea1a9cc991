// The station ABI's exports: the parameterless VarnixNative object and its
// getters. An object carries nothing; it exists so that a caller can create
// and delete one per call, and the station counts both.
#pragma GCC visibility push(default)
#include "contract/station_abi.h"
#pragma GCC visibility pop

#include "entry_points.h"
#include "station.h"

#include <new>

struct VarnixNative {
    unsigned char unused = 0;
};

namespace {

template <typename Entry>
void* AsPointer(Entry entry) {
    return reinterpret_cast<void*>(entry);
}

}  // namespace

using namespace varnix::station;

extern "C" {

// [any] Allocates; the caller owns the object until VarnixNative_Delete.
// Answers null when memory runs out.
VarnixNative* VarnixNative_New(void) {
    VarnixNative* object = new (std::nothrow) VarnixNative();
    if (object != nullptr) {
        Station::Get().Objects().created.fetch_add(1);
    }
    return object;
}

// [any] Frees an object from VarnixNative_New; null is ignored.
void VarnixNative_Delete(VarnixNative* self) {
    if (self != nullptr) {
        Station::Get().Objects().deleted.fetch_add(1);
        delete self;
    }
}

// [any] Each getter answers its entry point, valid while the library is loaded.
void* VarnixNative_GetInitializeDelegate(VarnixNative*) {
    return AsPointer(&EntryInitialize);
}
void* VarnixNative_GetScanDelegate(VarnixNative*) {
    return AsPointer(&EntryScan);
}
void* VarnixNative_GetStartDelegate(VarnixNative*) {
    return AsPointer(&EntryStart);
}
void* VarnixNative_GetStopDelegate(VarnixNative*) {
    return AsPointer(&EntryStop);
}
void* VarnixNative_GetCloseDelegate(VarnixNative*) {
    return AsPointer(&EntryClose);
}
void* VarnixNative_GetConfigureDelegate(VarnixNative*) {
    return AsPointer(&EntryConfigure);
}
void* VarnixNative_GetPollDataDelegate(VarnixNative*) {
    return AsPointer(&EntryPollData);
}
void* VarnixNative_GetChangeSensorModeDelegate(VarnixNative*) {
    return AsPointer(&EntryChangeSensorMode);
}
void* VarnixNative_GetInformationRequestDelegate(VarnixNative*) {
    return AsPointer(&EntryInformationRequest);
}

}  // extern "C"
