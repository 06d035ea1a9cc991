// What a plug-in may leave behind in its host's process, read from /proc:
// open file descriptors, threads, and the mappings of the module's file.
// A validate round takes one before the module's first load and compares
// after its last unload; after each Shutdown it looks for threads that the
// plug-in left running.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace varnix::vddhost {

struct ProcessFootprint {
    std::map<int, std::string> fds;           // descriptor -> what it refers to
    std::map<int64_t, std::string> threads;   // live thread id -> name
    std::vector<std::string> moduleMappings;  // lines of /proc/self/maps naming the module
};

// [host] Reads /proc/self. `modulePath` is the module as the host names it;
// its mappings are found by the file's canonical path. A thread that has
// ended, or is on its way out (joined, but not yet gone from /proc), counts
// as gone. Allocates; does not lock.
ProcessFootprint TakeFootprint(const std::string& modulePath);

// One line per thread alive now that was not in `before`:
// "thread 'varnix-acquire' (id 1234) is still running". Empty when none.
std::vector<std::string> NewThreads(const ProcessFootprint& before, const ProcessFootprint& now);

// One line per difference that a plug-in should not leave after its last
// unload: descriptors opened, threads running, module mappings kept.
std::vector<std::string> FootprintChanges(const ProcessFootprint& before,
                                          const ProcessFootprint& after);

}  // namespace varnix::vddhost
