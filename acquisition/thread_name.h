// Threads are named by role so that a debugger or `top -H` tells them apart.
#pragma once

#include <pthread.h>

namespace varnix {

constexpr const char* kAcquisitionThreadName = "varnix-acquire";
constexpr const char* kHandoffThreadName = "varnix-handoff";

// [acquisition][handoff] Names the calling thread; at most 15 characters
// are kept. Never fails visibly: a name is a help, not a need.
inline void NameCurrentThread(const char* name) noexcept {
    pthread_setname_np(pthread_self(), name);
}

}  // namespace varnix
