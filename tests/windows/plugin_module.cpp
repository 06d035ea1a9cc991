#include "tests/windows/plugin_module.h"

using ViconDigitalDevice::IDeviceDefinitionBuilder;
using ViconDigitalDevice::IDeviceRegistrar;
using ViconDigitalDevice::IHostServices;

const char* const PluginModule::kEntryNames[kEntryCount] = {
    "HostAPIVersion",
    "PluginAPIVersion",
    "Initialise",
    "ProvideDeviceDefinitions",
    "BeginDeviceInstantiation",
    "OnManualDeviceInstantiation",
    "Shutdown",
};

bool PluginModule::Load(const char* path, Text& problem) {
    problem.Add(path).Add(": ");
    const win::DWORD attributes = win::GetFileAttributesA(path);
    if (attributes == win::kInvalidFileAttributes) {
        problem.Add("no such file");
        return false;
    }
    if ((attributes & win::kDirectoryAttribute) != 0) {
        problem.Add("is a folder, not a module file");
        return false;
    }
    module_ = win::LoadLibraryA(path);
    if (module_ == nullptr) {
        DescribeLoadError(win::GetLastError(), problem);
        return false;
    }
    Text missing;
    for (int e = 0; e < kEntryCount; ++e) {
        entries_[e] = win::GetProcAddress(module_, kEntryNames[e]);
        if (entries_[e] == nullptr)
            missing.Add(missing.Length() == 0 ? "" : ", ").Add(kEntryNames[e]);
    }
    if (missing.Length() == 0) return true;
    problem.Add("not a device plug-in: it does not export ").Add(missing);
    win::FreeLibrary(module_);
    module_ = nullptr;
    return false;
}

void PluginModule::DescribeLoadError(win::DWORD error, Text& problem) {
    switch (error) {
        case win::kErrorBadExeFormat:
            problem.Add("not a 64-bit Windows DLL (LoadLibrary error 193: bad executable format)");
            break;
        case win::kErrorModNotFound:
            problem.Add("cannot be loaded: it is not a Windows DLL, or a DLL it needs is missing");
            problem.Add(" (LoadLibrary error 126)");
            break;
        case win::kErrorProcNotFound:
            problem.Add("cannot be loaded: a DLL it imports from lacks a function it needs");
            problem.Add(" (LoadLibrary error 127)");
            break;
        default:
            problem.Add("LoadLibrary failed with error ").Unsigned(error);
            break;
    }
}

bool PluginModule::Unload() {
    const bool freed = win::FreeLibrary(module_) != 0;
    module_ = nullptr;
    for (win::FarProc& entry : entries_) entry = nullptr;
    return freed;
}

Text PluginModule::FileName() const {
    char path[520];
    const win::DWORD length = win::GetModuleFileNameA(module_, path, sizeof path);
    return Text(length > 0 ? path : "(unknown)");
}

void PluginModule::HostAPIVersion(void* ignored, int32_t hostVersion) const {
    At<void (*)(void*, int32_t)>(kHostAPIVersion)(ignored, hostVersion);
}

int32_t PluginModule::PluginAPIVersion() const {
    return At<int32_t (*)()>(kPluginAPIVersion)();
}

bool PluginModule::Initialise(IHostServices* services) const {
    return At<bool (*)(IHostServices*)>(kInitialise)(services);
}

void PluginModule::ProvideDeviceDefinitions(IDeviceDefinitionBuilder* builder) const {
    At<void (*)(IDeviceDefinitionBuilder*)>(kProvideDeviceDefinitions)(builder);
}

void PluginModule::BeginDeviceInstantiation(IDeviceRegistrar* registrar) const {
    At<void (*)(IDeviceRegistrar*)>(kBeginDeviceInstantiation)(registrar);
}

void PluginModule::OnManualDeviceInstantiation(void* hostArg1, const char* hostText,
                                               void* hostArg3) const {
    At<void (*)(void*, const char*, void*)>(kOnManualDeviceInstantiation)(hostArg1, hostText,
                                                                          hostArg3);
}

void PluginModule::Shutdown() const {
    At<void (*)()>(kShutdown)();
}
