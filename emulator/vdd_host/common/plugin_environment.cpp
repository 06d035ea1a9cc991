#include "emulator/vdd_host/common/plugin_environment.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>

namespace varnix::vddhost {

namespace {

constexpr const char* kStationFile = "libVarnixAPI2.so";

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Tells the station which profile or recording to play, through the
// environment. The module is not loaded yet: no thread of the plug-in or the
// station reads the environment while it changes.
void NameStationProfile(const std::string& path) {
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    setenv("VARNIX_STATION_PROFILE", path.c_str(), 1);
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file the loader would hand the plug-in for the bare name, if any.
std::string StationOnLoaderPath() {
    void* handle = dlopen(kStationFile, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (handle == nullptr) handle = dlopen(kStationFile, RTLD_LAZY | RTLD_LOCAL);
    if (handle == nullptr) return "";
    dlclose(handle);
    return kStationFile;
}

std::string LoadModule(const std::string& path, emulator::PluginModule& module) {
    if (module.Load(path)) return "";
    switch (module.Error()) {
        case emulator::ModuleLoadError::kFileMissing:
            return "plug-in module " + path +
                   " not found: build it (cmake --build build --target "
                   "VarnixViconPlugin) or name the module with --module PATH";
        case emulator::ModuleLoadError::kMissingExports:
            return module.ErrorText() +
                   ": point --module at a device plug-in such as VarnixViconPlugin.vdd";
        default:
            return module.ErrorText() +
                   ": point --module at a device plug-in (.vdd) built for this machine";
    }
}

}  // namespace

std::string LoadEnvironment(const HostOptions& options, PluginEnvironment& environment) {
    const std::string& modulePath = options.modulePath;
    if (!IsFile(modulePath)) {
        return "plug-in module " + modulePath +
               " not found: build it (cmake --build build --target "
               "VarnixViconPlugin) or name the module with --module PATH";
    }
    if (!options.replayPath.empty()) {
        if (!IsFile(options.replayPath)) {
            return "recording " + options.replayPath +
                   " not found: name a BDF+/EDF+ file (vdd-host capture --edf writes them) or "
                   "leave out --replay";
        }
        NameStationProfile(options.replayPath);
        environment.profileName = "replay of " + options.replayPath;
    } else if (!options.profilePath.empty()) {
        if (!IsFile(options.profilePath)) {
            return "station profile " + options.profilePath +
                   " not found: name a JSON profile file (see profiles/) or leave out --profile";
        }
        NameStationProfile(options.profilePath);
        environment.profileName = options.profilePath;
    } else {
        environment.profileName = std::getenv("VARNIX_STATION_PROFILE") != nullptr
                                      ? std::getenv("VARNIX_STATION_PROFILE")
                                      : "the station's default";
    }

    // The plug-in looks beside itself first, then asks the loader; the host
    // opens the same file so that both share one copy of the station.
    std::string stationPath = DirectoryOf(modulePath) + "/" + kStationFile;
    if (!IsFile(stationPath)) stationPath = StationOnLoaderPath();
    if (stationPath.empty()) {
        return std::string("station library ") + kStationFile + " not found beside " + modulePath +
               " nor on the loader's path: build it (cmake --build build --target VarnixAPI2) and "
               "keep it beside the module";
    }
    if (!environment.station.Open(stationPath)) {
        return "station library " + stationPath +
               " cannot be loaded: " + environment.station.Error() +
               ": rebuild it (cmake --build build --target VarnixAPI2)";
    }
    std::string profileError = environment.station.ProfileError();
    if (!profileError.empty()) {
        // A replay's refusal names the recording, the byte and what to do.
        if (profileError.rfind("recording ", 0) == 0) return profileError;
        const bool named = profileError.rfind("station profile", 0) == 0;
        return (named ? profileError : "station profile broken: " + profileError) +
               ": fix the file or leave out --profile";
    }
    return LoadModule(modulePath, environment.module);
}

}  // namespace varnix::vddhost
