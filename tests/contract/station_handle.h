// The simulated station's control API, reached the way a host reaches it:
// dlopen of the same file the module loads (same path, same handle).
#pragma once

#include "contract/station_control.h"

#include <dlfcn.h>

#include <string>

namespace contract {

struct StationHandle {
    void* handle = nullptr;
    explicit StationHandle(const std::string& path) {
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    ~StationHandle() {
        if (handle != nullptr) {
            dlclose(handle);
        }
    }
    StationHandle(const StationHandle&) = delete;
    StationHandle& operator=(const StationHandle&) = delete;

    template <typename Fn>
    Fn Get(const char* name) const {
        return reinterpret_cast<Fn>(dlsym(handle, name));
    }

    // The station's call log, one "function(arguments)" entry per call.
    std::vector<std::string> Calls() const {
        auto count = Get<size_t (*)()>("VarnixSim_CallCount");
        auto get = Get<int (*)(size_t, VarnixSimCall*)>("VarnixSim_GetCall");
        std::vector<std::string> calls;
        if (count == nullptr || get == nullptr) {
            return calls;
        }
        const size_t n = count();
        for (size_t i = 0; i < n; ++i) {
            VarnixSimCall call{};
            if (get(i, &call) == 1) {
                calls.push_back(std::string(call.function) + "(" + call.arguments + ")");
            }
        }
        return calls;
    }
};

}  // namespace contract
