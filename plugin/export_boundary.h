// The exports' exception boundary: nothing escapes into the host; an
// exception is logged as one level-3 line to the services the host gave to
// Initialise (see host/host_boundary.h).
#pragma once

#include "host/host_boundary.h"
#include "plugin/plugin_state.h"

#include <utility>

namespace varnix {

// [host] Runs `body`; an exception is logged and swallowed. Never throws.
template <typename Body>
void GuardExport(const char* operation, Body&& body) noexcept {
    GuardBoundary(State().services.load(std::memory_order_acquire), operation,
                  std::forward<Body>(body));
}

}  // namespace varnix
