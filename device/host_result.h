// Releasing the results of host operations. Every non-null IHostResult is
// released by the caller once, at once; only a refused registration is read.
#pragma once

#include "host/host_interfaces.h"

namespace varnix {

// [host][acquisition][handoff] Releases a non-null result; null is success
// and needs nothing. Never throws; does not allocate.
inline void ReleaseResult(ViconDigitalDevice::IHostResult result) noexcept {
    if (result.error != nullptr) {
        result.error->Release();
    }
}

}  // namespace varnix
