#include "emulator/vdd_host/validate/process_footprint.h"

#include "emulator/live_threads.h"

#include <dirent.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>

namespace varnix::vddhost {

namespace {

std::map<int, std::string> OpenDescriptors() {
    std::map<int, std::string> fds;
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr) return fds;
    const int own = dirfd(folder);
    while (dirent* entry = readdir(folder)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = std::atoi(entry->d_name);
        if (fd == own) continue;
        char target[PATH_MAX] = {};
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
        fds[fd] = length > 0 ? std::string(target, static_cast<size_t>(length)) : "?";
    }
    closedir(folder);
    return fds;
}

std::vector<std::string> MappingsOf(const std::string& modulePath) {
    std::vector<std::string> lines;
    char canonical[PATH_MAX] = {};
    if (realpath(modulePath.c_str(), canonical) == nullptr) return lines;
    const std::string file = canonical;
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        const size_t at = line.rfind(file);
        if (at != std::string::npos && at + file.size() == line.size()) lines.push_back(line);
    }
    return lines;
}

}  // namespace

ProcessFootprint TakeFootprint(const std::string& modulePath) {
    ProcessFootprint footprint;
    footprint.fds = OpenDescriptors();
    footprint.threads = emulator::LiveThreads();
    footprint.moduleMappings = MappingsOf(modulePath);
    return footprint;
}

std::vector<std::string> NewThreads(const ProcessFootprint& before, const ProcessFootprint& now) {
    std::vector<std::string> lines;
    for (const auto& [id, name] : now.threads) {
        if (before.threads.count(id) == 0) {
            lines.push_back("thread '" + name + "' (id " + std::to_string(id) +
                            ") is still running");
        }
    }
    return lines;
}

std::vector<std::string> FootprintChanges(const ProcessFootprint& before,
                                          const ProcessFootprint& after) {
    std::vector<std::string> lines;
    for (const auto& [fd, target] : after.fds) {
        if (before.fds.count(fd) == 0) {
            lines.push_back("file descriptor " + std::to_string(fd) + " (" + target +
                            ") is still open");
        }
    }
    for (const auto& [fd, target] : before.fds) {
        if (after.fds.count(fd) == 0) {
            lines.push_back("file descriptor " + std::to_string(fd) + " (" + target +
                            ") of the host was closed");
        }
    }
    for (const std::string& line : NewThreads(before, after)) lines.push_back(line);
    if (after.moduleMappings.size() > before.moduleMappings.size()) {
        lines.push_back("the module is still mapped (" +
                        std::to_string(after.moduleMappings.size()) + " mappings, " +
                        std::to_string(before.moduleMappings.size()) +
                        " before its first load): " + after.moduleMappings.front());
    }
    return lines;
}

}  // namespace varnix::vddhost
