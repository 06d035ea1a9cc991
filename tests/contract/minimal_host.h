// A small host for the contract tests: services that record the log, a
// builder that counts its calls, and the loaded module's exports. Kept apart
// from the emulator's recording host so that these tests pin the contract
// with nothing of ours in between.
#pragma once

#include "host/host_interfaces.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace contract {

struct LogLine {
    std::string text;
    int32_t level;
};

class RecordingServices : public ViconDigitalDevice::IHostServices {
public:
    void Log(const char* text, int32_t level) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back({text ? text : "(null)", level});
    }
    uint32_t GetTimebase() override { return 1000000; }
    int32_t GetStartCode() override { return 7; }

    std::vector<LogLine> Lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    std::mutex mutex_;
    std::vector<LogLine> lines_;
};

class CountingBuilder : public ViconDigitalDevice::IDeviceDefinitionBuilder {
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
