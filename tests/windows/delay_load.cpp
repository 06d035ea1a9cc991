// The linker routes the first call of each delay-imported function here
// (lld-link's /delayload thunks). This helper resolves the decorated name in
// the module the host loaded by path, instead of loading a second copy by
// name; and it leaves the import address table unpatched, so every call
// resolves again, and stays right after the module is unloaded and loaded
// anew at another address.
#include "tests/windows/bridge_imports.h"
#include "tests/windows/pe_image.h"
#include "tests/windows/run_guard.h"
#include "tests/windows/text.h"

namespace {

win::HMODULE gBridgeModule;  // [host] only

}  // namespace

void SetBridgeModule(win::HMODULE module) {
    gBridgeModule = module;
}

extern "C" win::FarProc __delayLoadHelper2(const DelayImportDescriptor* descriptor,
                                           win::FarProc* tableEntry) {
    const auto* table = reinterpret_cast<win::FarProc*>(const_cast<char*>(HostImageBase()) +
                                                        descriptor->importAddressTable);
    const char* name = DelayImportName(*descriptor, static_cast<size_t>(tableEntry - table));
    if (gBridgeModule == nullptr)
        guard::Fatal("a bridge function was called with no module loaded");
    win::FarProc function = win::GetProcAddress(gBridgeModule, name);
    if (function == nullptr) {
        Text what("the module does not export the bridge function ");
        what.Add(name);
        guard::Fatal(what.c_str());
    }
    return function;
}

void BridgeFunctionAddresses(const void* (&addresses)[kBridgeFunctionCount]) {
    const void* all[kBridgeFunctionCount] = {
        reinterpret_cast<const void*>(&varnix_initialize),
        reinterpret_cast<const void*>(&varnix_scan),
        reinterpret_cast<const void*>(&varnix_start),
        reinterpret_cast<const void*>(&varnix_stop),
        reinterpret_cast<const void*>(&varnix_close),
        reinterpret_cast<const void*>(&varnix_configure),
        reinterpret_cast<const void*>(&varnix_pollData),
        reinterpret_cast<const void*>(&varnix_changeSensorMode),
        reinterpret_cast<const void*>(&varnix_infoRequest),
    };
    for (size_t i = 0; i < kBridgeFunctionCount; ++i) addresses[i] = all[i];
}
