// Loads a device plug-in module the way a capture host does:
// dlopen(RTLD_NOW | RTLD_LOCAL), resolve the seven host entry points, call
// them, dlclose.
#pragma once

#include "host/host_interfaces.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varnix::emulator {

enum class ModuleLoadError {
    kNone,
    kFileMissing,     // no file at the path
    kNotLoadable,     // the loader refused it (not an ELF object, missing dependency, ...)
    kMissingExports,  // loaded, but not a device plug-in
};

// [host] One loaded module. Not copyable; the destructor unloads. No member
// takes a lock; calls into the module may block as long as the module does.
class PluginModule {
public:
    // The seven host entry points, in call order.
    static const std::vector<std::string>& EntryPointNames();

    PluginModule() = default;
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // Loads `path`. On failure returns false and Error()/ErrorText() say why,
    // with the path; MissingExports() lists what was not found.
    bool Load(const std::string& path);
    bool Loaded() const { return handle_ != nullptr; }
    ModuleLoadError Error() const { return error_; }
    const std::string& ErrorText() const { return errorText_; }
    const std::vector<std::string>& MissingExports() const { return missing_; }
    const std::string& Path() const { return path_; }
    void* Handle() const { return handle_; }

    // The entry points. Loaded() must be true.
    void HostAPIVersion(void* ignored, int32_t hostVersion);
    int32_t PluginAPIVersion();
    bool Initialise(ViconDigitalDevice::IHostServices* services);
    void ProvideDeviceDefinitions(ViconDigitalDevice::IDeviceDefinitionBuilder* builder);
    void BeginDeviceInstantiation(ViconDigitalDevice::IDeviceRegistrar* registrar);
    void OnManualDeviceInstantiation(void* hostArg1, const char* hostText, void* hostArg3);
    void Shutdown();

    // dlclose; harmless when not loaded. Returns false (with ErrorText) when
    // the loader reports a failure.
    bool Unload();

private:
    using HostApiVersionFn = void (*)(void*, int32_t);
    using PluginApiVersionFn = int32_t (*)();
    using InitialiseFn = bool (*)(ViconDigitalDevice::IHostServices*);
    using ProvideFn = void (*)(ViconDigitalDevice::IDeviceDefinitionBuilder*);
    using BeginFn = void (*)(ViconDigitalDevice::IDeviceRegistrar*);
    using ManualFn = void (*)(void*, const char*, void*);
    using ShutdownFn = void (*)();

    void Fail(ModuleLoadError error, std::string text);

    std::string path_;
    void* handle_ = nullptr;
    ModuleLoadError error_ = ModuleLoadError::kNone;
    std::string errorText_;
    std::vector<std::string> missing_;

    HostApiVersionFn hostApiVersion_ = nullptr;
    PluginApiVersionFn pluginApiVersion_ = nullptr;
    InitialiseFn initialise_ = nullptr;
    ProvideFn provide_ = nullptr;
    BeginFn begin_ = nullptr;
    ManualFn manual_ = nullptr;
    ShutdownFn shutdown_ = nullptr;
};

}  // namespace varnix::emulator
