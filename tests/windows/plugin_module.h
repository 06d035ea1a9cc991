// The plug-in module as the host loads it: LoadLibrary on the path it was
// given, GetProcAddress for the seven undecorated entry points, FreeLibrary.
// A file that is missing, not a 64-bit Windows DLL, or lacks an entry point
// is refused with one line saying which and why.
#pragma once

#include "tests/windows/sdk_interfaces.h"
#include "tests/windows/text.h"
#include "tests/windows/win32.h"

class PluginModule {
public:
    // [host] False, with `problem` naming the file and what is wrong, when
    // the module cannot be used; nothing stays loaded then.
    bool Load(const char* path, Text& problem);
    // [host] FreeLibrary; true if it succeeded.
    bool Unload();
    win::HMODULE Handle() const { return module_; }
    // The loaded file as Windows names it.
    Text FileName() const;

    // The seven entry points (extern "C", Microsoft x64 convention).
    void HostAPIVersion(void* ignored, int32_t hostVersion) const;
    int32_t PluginAPIVersion() const;
    bool Initialise(ViconDigitalDevice::IHostServices* services) const;
    void ProvideDeviceDefinitions(ViconDigitalDevice::IDeviceDefinitionBuilder* builder) const;
    void BeginDeviceInstantiation(ViconDigitalDevice::IDeviceRegistrar* registrar) const;
    void OnManualDeviceInstantiation(void* hostArg1, const char* hostText, void* hostArg3) const;
    void Shutdown() const;

private:
    enum Entry {
        kHostAPIVersion,
        kPluginAPIVersion,
        kInitialise,
        kProvideDeviceDefinitions,
        kBeginDeviceInstantiation,
        kOnManualDeviceInstantiation,
        kShutdown,
        kEntryCount
    };
    static const char* const kEntryNames[kEntryCount];

    template <typename Function>
    Function At(Entry entry) const {
        return reinterpret_cast<Function>(entries_[entry]);
    }
    static void DescribeLoadError(win::DWORD error, Text& problem);

    win::HMODULE module_ = nullptr;
    win::FarProc entries_[kEntryCount] = {};
};
