// A small host for the contract tests: services that record the log, a
// builder that counts its calls, and the loaded module's exports. Kept apart
// from the emulator's recording host so that these tests pin the contract
// with nothing of ours in between.
#pragma once

#include "host/host_interfaces.h"
#include "tests/support/host_doubles.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace contract {

using LogLine = host_doubles::RecordingServices::Line;

// The host's services with timebase 1000000 and start code 7.
class RecordingServices : public host_doubles::RecordingServices {
public:
    RecordingServices() : host_doubles::RecordingServices(1000000, 7) {}
};

class CountingBuilder : public host_doubles::BuilderBase {
public:
    using Result = ViconDigitalDevice::IHostResult;
    Result DefineDevice(const char*, const char*, const char*, const char*, const char*,
                        const char*, const char*) override {
        return Count();
    }
    Result AddBoolParameter(const char*, const char*, const char*, const char*, bool,
                            const ViconDigitalDevice::IParameterValueBool&, void*) override {
        return Count();
    }
    Result AddSignal(const char*) override { return Count(); }
    Result AddOutput(const char*, int32_t) override { return Count(); }
    Result AddComponent(const char*) override { return Count(); }
    void Unused5() override { ++calls; }
    Result Commit() override { return Count(); }
    int calls = 0;

private:
    Result Count() {
        ++calls;
        return {nullptr};
    }
};

// The folder that holds the built module and station library.
inline std::string BinDir() {
    const char* dir = std::getenv("VARNIX_BIN_DIR");
    return dir ? dir : ".";
}

// The module's seven host exports, resolved from a dlopen'ed file.
struct Module {
    void* handle = nullptr;
    void (*HostAPIVersion)(void*, int32_t) = nullptr;
    int32_t (*PluginAPIVersion)() = nullptr;
    bool (*Initialise)(ViconDigitalDevice::IHostServices*) = nullptr;
    void (*ProvideDeviceDefinitions)(ViconDigitalDevice::IDeviceDefinitionBuilder*) = nullptr;
    void (*BeginDeviceInstantiation)(ViconDigitalDevice::IDeviceRegistrar*) = nullptr;
    void (*OnManualDeviceInstantiation)(void*, const char*, void*) = nullptr;
    void (*Shutdown)() = nullptr;

    explicit Module(const std::string& path) {
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            return;
        }
        Resolve(HostAPIVersion, "HostAPIVersion");
        Resolve(PluginAPIVersion, "PluginAPIVersion");
        Resolve(Initialise, "Initialise");
        Resolve(ProvideDeviceDefinitions, "ProvideDeviceDefinitions");
        Resolve(BeginDeviceInstantiation, "BeginDeviceInstantiation");
        Resolve(OnManualDeviceInstantiation, "OnManualDeviceInstantiation");
        Resolve(Shutdown, "Shutdown");
    }
    ~Module() { Close(); }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    bool Complete() const {
        return handle && HostAPIVersion && PluginAPIVersion && Initialise &&
               ProvideDeviceDefinitions && BeginDeviceInstantiation &&
               OnManualDeviceInstantiation && Shutdown;
    }
    void Close() {
        if (handle != nullptr) {
            dlclose(handle);
            handle = nullptr;
        }
    }

private:
    template <typename Fn>
    void Resolve(Fn& fn, const char* name) {
        fn = reinterpret_cast<Fn>(dlsym(handle, name));
    }
};

}  // namespace contract
