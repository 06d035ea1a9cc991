// Runs vdd-host as its own process (the module's process-wide state needs a
// fresh process per scenario) and hands back its exit code and output.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace varnix::emulator::testing {

struct ProcessResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

inline std::string BinDir() {
    const char* dir = std::getenv("VARNIX_BIN_DIR");
    return dir != nullptr ? dir : ".";
}

inline std::string SourceDir() {
    const char* dir = std::getenv("VARNIX_SOURCE_DIR");
    return dir != nullptr ? dir : "..";
}

// `arguments` are appended to the vdd-host path as shell words; the run is
// bounded by coreutils' timeout so a hang fails instead of blocking.
inline ProcessResult RunVddHost(const std::string& arguments, int timeoutSeconds = 60) {
    const std::string command = "timeout " + std::to_string(timeoutSeconds) + " '" + BinDir() +
                                "/vdd-host' " + arguments + " 2>&1";
    ProcessResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    size_t read = 0;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), read);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline size_t CountOf(const std::string& text, const std::string& needle) {
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

}  // namespace varnix::emulator::testing
