// The station library as the bridge holds it: loaded once, on the first
// bridge call, and kept while the module is loaded.
#pragma once

#include "contract/station_abi.h"

#include <string>

namespace varnix {

enum class StationEntry {
    Initialize,
    Scan,
    Start,
    Stop,
    Close,
    Configure,
    PollData,
    ChangeSensorMode,
    InformationRequest,
    Count
};

struct StationLibrary {
    bool usable = false;  // false: the station does not answer
    std::string path;     // what was loaded, or where it was looked for
    std::string problem;  // why it does not answer, what to do; "" when usable
    VarnixNative* (*newObject)() = nullptr;
    void (*deleteObject)(VarnixNative*) = nullptr;
    void* (*getters[static_cast<int>(StationEntry::Count)])(VarnixNative*) = {};
};

// [host][acquisition] Loads the library on first use (thread-safe, once) and
// hands back the same record ever after. Blocks only during that first load.
// The bridge tells nobody when the library is missing or incomplete: the
// record's `problem` says it, for the plug-in to pass on to the host.
const StationLibrary& Station();

}  // namespace varnix
