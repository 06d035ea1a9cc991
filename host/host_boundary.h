// Nothing may leave an export or a host-facing virtual as an exception: it
// would take the capture host down. Each boundary runs its body through
// GuardBoundary, which logs one level-3 line naming the operation and the
// cause to the services it is given, and hands back a defined fallback.
#pragma once

#include "host/host_log.h"

#include <exception>
#include <string>
#include <utility>

namespace varnix {

// [host][acquisition][handoff] Never throws.
inline void ReportEscapedException(ViconDigitalDevice::IHostServices* services, const char* operation,
                                   const char* cause) noexcept {
    try {
        const std::string line = std::string(operation) + " failed and was abandoned: " + cause;
        LogTo(services, line.c_str(), kLogError);
    } catch (...) {
        LogTo(services, "an operation failed and was abandoned (out of memory)", kLogError);
    }
}

// Runs `body`; an exception is logged to `services` and `fallback` returned.
template <typename Result, typename Body>
Result GuardBoundary(ViconDigitalDevice::IHostServices* services, const char* operation, Result fallback,
                     Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::exception& e) {
        ReportEscapedException(services, operation, e.what());
    } catch (...) {
        ReportEscapedException(services, operation, "unknown exception");
    }
    return fallback;
}

template <typename Body>
void GuardBoundary(ViconDigitalDevice::IHostServices* services, const char* operation, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (const std::exception& e) {
        ReportEscapedException(services, operation, e.what());
    } catch (...) {
        ReportEscapedException(services, operation, "unknown exception");
    }
}

}  // namespace varnix
