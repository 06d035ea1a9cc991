#include "tests/windows/station.h"

namespace {

// Resolves one export into `target`; names the first one missing.
template <typename Function>
void Resolve(win::HMODULE module, const char* name, Function& target, Text& missing) {
    target = reinterpret_cast<Function>(win::GetProcAddress(module, name));
    if (target == nullptr && missing.Length() == 0) missing.Add(name);
}

}  // namespace

bool Station::Attach(Text& problem) {
    module_ = win::GetModuleHandleA(kStationDll);
    if (module_ == nullptr) {
        problem.Add(kStationDll).Add(" is not loaded in the process");
        return false;
    }
    Text missing;
    Resolve(module_, "VarnixSim_GetCounters", counters_, missing);
    Resolve(module_, "VarnixSim_CallCount", callCount_, missing);
    Resolve(module_, "VarnixSim_GetCall", getCall_, missing);
    Resolve(module_, "VarnixSim_GetDeliveredFrame", deliveredFrame_, missing);
    Resolve(module_, "VarnixSim_SensorCount", sensorCount_, missing);
    Resolve(module_, "VarnixSim_SamplesPerFrame", samplesPerFrame_, missing);
    Resolve(module_, "VarnixSim_StreamCount", streamCount_, missing);
    Resolve(module_, "VarnixSim_FrameMultiple", frameMultiple_, missing);
    Resolve(module_, "VarnixNative_New", nativeNew_, missing);
    Resolve(module_, "VarnixNative_Delete", nativeDelete_, missing);
    Resolve(module_, "VarnixNative_GetInformationRequestDelegate", infoDelegate_, missing);
    if (missing.Length() == 0) return true;
    problem.Add(Path()).Add(" lacks ").Add(missing).Add(": not the simulated station");
    counters_ = nullptr;
    return false;
}

Text Station::Path() const {
    char path[520];
    const win::DWORD length = win::GetModuleFileNameA(module_, path, sizeof path);
    return Text(length > 0 ? path : kStationDll);
}

VarnixSimCounters Station::Counters() const {
    VarnixSimCounters counters{};
    counters_(&counters);
    return counters;
}

bool Station::InfoRequest(const char* id, int32_t code, Text& answer) const {
    VarnixNative* native = nativeNew_();
    auto request = reinterpret_cast<VarnixInformationRequestFn>(infoDelegate_(native));
    const char* text = request != nullptr ? request(id, code) : nullptr;
    if (text != nullptr) answer.Add(text);
    nativeDelete_(native);
    return text != nullptr;
}
