#include "bridge/station_library.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <mutex>

namespace varnix {
namespace {

const char* const kGetterNames[] = {
    "VarnixNative_GetInitializeDelegate",
    "VarnixNative_GetScanDelegate",
    "VarnixNative_GetStartDelegate",
    "VarnixNative_GetStopDelegate",
    "VarnixNative_GetCloseDelegate",
    "VarnixNative_GetConfigureDelegate",
    "VarnixNative_GetPollDataDelegate",
    "VarnixNative_GetChangeSensorModeDelegate",
    "VarnixNative_GetInformationRequestDelegate",
};
static_assert(sizeof(kGetterNames) / sizeof(kGetterNames[0]) ==
                  static_cast<size_t>(StationEntry::Count),
              "one getter name per entry point");

// The folder that holds the loaded plug-in module (or the executable the
// plug-in's code is linked into), with a trailing slash; "" if unknown.
std::string ModuleFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::string file = info.dli_fname;
    const auto slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Owns the handle so the library is unloaded with the module, not before.
struct LoadedStation {
    StationLibrary library;
    void* handle = nullptr;
    ~LoadedStation() {
        if (handle != nullptr) {
            dlclose(handle);
        }
    }
};

LoadedStation& Loaded() {
    static LoadedStation loaded;
    return loaded;
}

void Load(LoadedStation& loaded) {
    const std::string folder = ModuleFolder();
    const std::string beside = folder + kStationLibraryName;
    std::string tried;
    if (!folder.empty() && FileExists(beside)) {
        loaded.handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
        loaded.library.path = beside;
        if (loaded.handle == nullptr) {
            const char* why = dlerror();
            tried = beside + " (" + (why ? why : "unknown error") + ")";
        }
    }
    if (loaded.handle == nullptr) {
        loaded.handle = dlopen(kStationLibraryName, RTLD_NOW | RTLD_LOCAL);
        loaded.library.path = kStationLibraryName;
        if (loaded.handle == nullptr) {
            const char* why = dlerror();
            if (tried.empty()) {
                tried = (folder.empty() ? std::string("the plug-in's folder (unknown)") : folder);
            }
            loaded.library.problem =
                std::string("station library ") + kStationLibraryName + " not found: looked in " +
                tried + " and in the loader's search path (" + (why ? why : "") +
                "); the station does not answer, so no devices and no samples. "
                "Put libVarnixAPI2.so beside the plug-in module.";
            loaded.library.path = tried;
            return;
        }
    }

    std::string missing;
    auto resolve = [&](const char* name) -> void* {
        void* symbol = dlsym(loaded.handle, name);
        if (symbol == nullptr) {
            missing += missing.empty() ? name : std::string(", ") + name;
        }
        return symbol;
    };
    loaded.library.newObject = reinterpret_cast<VarnixNative* (*)()>(resolve("VarnixNative_New"));
    loaded.library.deleteObject =
        reinterpret_cast<void (*)(VarnixNative*)>(resolve("VarnixNative_Delete"));
    for (size_t i = 0; i < static_cast<size_t>(StationEntry::Count); ++i) {
        loaded.library.getters[i] =
            reinterpret_cast<void* (*)(VarnixNative*)>(resolve(kGetterNames[i]));
    }
    if (!missing.empty()) {
        loaded.library.problem = "station library " + loaded.library.path + " lacks " + missing +
                                 "; the station does not answer, so no devices and no samples. "
                                 "Install a station library of the matching version.";
        return;
    }
    loaded.library.usable = true;
}

}  // namespace

const StationLibrary& Station() {
    static std::once_flag once;
    LoadedStation& loaded = Loaded();
    std::call_once(once, [&loaded] { Load(loaded); });
    return loaded.library;
}

}  // namespace varnix
