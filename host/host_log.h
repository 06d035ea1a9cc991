// Telling the capture host: one line at a time through its Log, to the
// services the caller names (the plug-in's, or a device's own).
#pragma once

#include "host/host_interfaces.h"

#include <cstdint>

namespace varnix {

constexpr int32_t kLogInfo = 1;
constexpr int32_t kLogError = 3;

// Build-time trace switches: nothing turns them on, so the lines they guard
// are not sent by the delivered plug-in. kDeviceTrace guards a device's own
// lines, kPluginTrace those of definition publishing and the session start.
constexpr bool kDeviceTrace = false;
constexpr bool kPluginTrace = false;

// [host][acquisition][handoff] Sends `text` to `services`' Log at `level`;
// does nothing when either is null. Never throws; does not allocate.
inline void LogTo(ViconDigitalDevice::IHostServices* services, const char* text, int32_t level) noexcept {
    if (services != nullptr && text != nullptr) {
        services->Log(text, level);
    }
}

}  // namespace varnix
