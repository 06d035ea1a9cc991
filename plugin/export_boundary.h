// Nothing may leave an export or a host-facing virtual as an exception: it
// would take the capture host down. Each boundary runs its body through
// GuardBoundary, which logs one level-3 line naming the operation and the
// cause, and hands back a defined fallback result.
#pragma once

#include "plugin/plugin_state.h"

#include <exception>
#include <string>
#include <utility>

namespace varnix {

// [host][acquisition][handoff] Never throws.
inline void ReportEscapedException(const char* operation, const char* cause) noexcept {
    try {
        std::string line = std::string(operation) + " failed and was abandoned: " + cause;
        LogToHost(line.c_str(), kLogError);
    } catch (...) {
        LogToHost("an operation failed and was abandoned (out of memory)", kLogError);
    }
}

template <typename Result, typename Body>
Result GuardBoundary(const char* operation, Result fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::exception& e) {
        ReportEscapedException(operation, e.what());
    } catch (...) {
        ReportEscapedException(operation, "unknown exception");
    }
    return fallback;
}

template <typename Body>
void GuardBoundary(const char* operation, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (const std::exception& e) {
        ReportEscapedException(operation, e.what());
    } catch (...) {
        ReportEscapedException(operation, "unknown exception");
    }
}

}  // namespace varnix
