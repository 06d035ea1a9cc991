// One call into a station linked into the program (tests, benchmarks), made
// the way the plug-in's bridge makes every call: a fresh station object, its
// getter, the call, then the object deleted.
#pragma once

#include "contract/station_abi.h"

namespace varnix {

// [any] CallStation<VarnixPollDataFn>(VarnixNative_GetPollDataDelegate, &frame)
template <typename Fn, typename Getter, typename... Args>
auto CallStation(Getter getter, Args... args) {
    VarnixNative* object = VarnixNative_New();
    const auto entry = reinterpret_cast<Fn>(getter(object));
    struct Deleter {
        VarnixNative* object;
        ~Deleter() { VarnixNative_Delete(object); }
    } deleter{object};
    return entry(args...);
}

}  // namespace varnix
