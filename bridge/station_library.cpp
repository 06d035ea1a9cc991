#include "bridge/station_library.h"

#include "platform/platform.h"

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

// Owns the handle so the library is unloaded with the module, not before.
struct LoadedStation {
    StationLibrary library;
    void* handle = nullptr;
    ~LoadedStation() { platform::ReleaseLibraryAtUnload(handle); }
};

LoadedStation& Loaded() {
    static LoadedStation loaded;
    return loaded;
}

// Why no station library could be loaded, and what to do about it.
std::string NotLoaded(const std::string& folder, const std::string& beside,
                      const std::string& besideProblem, const std::string& searchProblem) {
    const std::string name = platform::kStationLibraryFile;
    const std::string consequence = "; the station does not answer, so no devices and no samples. ";
    if (!besideProblem.empty()) {
        return "station library " + beside + " cannot be loaded (" + besideProblem +
               "), nor can the system's search find another (" + searchProblem + ")" + consequence +
               "Put a " + name + " built for this system beside the plug-in module.";
    }
    const std::string where =
        folder.empty() ? std::string("the plug-in's folder (unknown)") : folder;
    return "station library " + name + " not found: looked in " + where +
           " and in the loader's search path (" + searchProblem + ")" + consequence + "Put " +
           name + " beside the plug-in module.";
}

// Beside the module first, then the system's own search for the bare name.
void Load(LoadedStation& loaded) {
    const std::string folder = platform::ThisModuleFolder();
    const std::string beside = folder + platform::kStationLibraryFile;
    std::string besideProblem;
    if (!folder.empty() && platform::FileExists(beside)) {
        loaded.handle = platform::OpenLibrary(beside, besideProblem);
        loaded.library.path = beside;
    }
    if (loaded.handle == nullptr) {
        std::string searchProblem;
        loaded.handle = platform::OpenLibrary(platform::kStationLibraryFile, searchProblem);
        if (loaded.handle == nullptr) {
            loaded.library.problem = NotLoaded(folder, beside, besideProblem, searchProblem);
            loaded.library.path = besideProblem.empty() ? folder : beside;
            return;
        }
        loaded.library.path = platform::kStationLibraryFile;
    }

    std::string missing;
    auto resolve = [&](const char* name) -> void* {
        void* symbol = platform::LibrarySymbol(loaded.handle, name);
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
