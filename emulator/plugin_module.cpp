#include "emulator/plugin_module.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <utility>

namespace varnix::emulator {

namespace {

template <typename Fn>
Fn Resolve(void* handle, const std::string& name, std::vector<std::string>& missing) {
    void* symbol = dlsym(handle, name.c_str());
    if (symbol == nullptr) missing.push_back(name);
    return reinterpret_cast<Fn>(symbol);
}

}  // namespace

const std::vector<std::string>& PluginModule::EntryPointNames() {
    static const std::vector<std::string> names = {"HostAPIVersion",
                                                   "PluginAPIVersion",
                                                   "Initialise",
                                                   "ProvideDeviceDefinitions",
                                                   "BeginDeviceInstantiation",
                                                   "OnManualDeviceInstantiation",
                                                   "Shutdown"};
    return names;
}

PluginModule::~PluginModule() {
    Unload();
}

void PluginModule::Fail(ModuleLoadError error, std::string text) {
    error_ = error;
    errorText_ = std::move(text);
}

bool PluginModule::Load(const std::string& path) {
    Unload();
    path_ = path;
    error_ = ModuleLoadError::kNone;
    errorText_.clear();
    missing_.clear();
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        Fail(ModuleLoadError::kFileMissing, "plug-in module " + path + ": no such file");
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        Fail(ModuleLoadError::kNotLoadable,
             "plug-in module " + path + ": is a directory, not a module file");
        return false;
    }
    // A bare file name would send the loader searching its library path; the
    // host means the file it was shown.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        Fail(ModuleLoadError::kNotLoadable, "plug-in module " + path + ": the loader refused it: " +
                                                (why ? why : "unknown reason"));
        return false;
    }
    const auto& names = EntryPointNames();
    hostApiVersion_ = Resolve<HostApiVersionFn>(handle, names[0], missing_);
    pluginApiVersion_ = Resolve<PluginApiVersionFn>(handle, names[1], missing_);
    initialise_ = Resolve<InitialiseFn>(handle, names[2], missing_);
    provide_ = Resolve<ProvideFn>(handle, names[3], missing_);
    begin_ = Resolve<BeginFn>(handle, names[4], missing_);
    manual_ = Resolve<ManualFn>(handle, names[5], missing_);
    shutdown_ = Resolve<ShutdownFn>(handle, names[6], missing_);
    if (!missing_.empty()) {
        std::string list;
        for (const std::string& name : missing_) list += (list.empty() ? "" : ", ") + name;
        Fail(ModuleLoadError::kMissingExports,
             "plug-in module " + path + ": not a device plug-in, missing export(s) " + list);
        dlclose(handle);
        return false;
    }
    handle_ = handle;
    return true;
}

void PluginModule::HostAPIVersion(void* ignored, int32_t hostVersion) {
    hostApiVersion_(ignored, hostVersion);
}
int32_t PluginModule::PluginAPIVersion() {
    return pluginApiVersion_();
}
bool PluginModule::Initialise(ViconDigitalDevice::IHostServices* services) {
    return initialise_(services);
}
void PluginModule::ProvideDeviceDefinitions(ViconDigitalDevice::IDeviceDefinitionBuilder* builder) {
    provide_(builder);
}
void PluginModule::BeginDeviceInstantiation(ViconDigitalDevice::IDeviceRegistrar* registrar) {
    begin_(registrar);
}
void PluginModule::OnManualDeviceInstantiation(void* hostArg1, const char* hostText,
                                               void* hostArg3) {
    manual_(hostArg1, hostText, hostArg3);
}
void PluginModule::Shutdown() {
    shutdown_();
}

bool PluginModule::Unload() {
    if (handle_ == nullptr) return true;
    void* handle = handle_;
    handle_ = nullptr;
    if (dlclose(handle) != 0) {
        const char* why = dlerror();
        errorText_ =
            "plug-in module " + path_ + ": unload failed: " + (why ? why : "unknown reason");
        return false;
    }
    return true;
}

}  // namespace varnix::emulator
