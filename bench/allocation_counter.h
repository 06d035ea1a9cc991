// Counts every global operator new of the process, so a benchmark can say how
// many allocations one unit of work made. The replacement operators live in
// allocation_counter.cpp; linking that file into a program replaces the
// global operator new of everything statically linked into it.
#pragma once

#include <cstdint>

namespace varnix::bench {

// [any thread] Allocations through any global operator new since the program
// started. Lock-free; relaxed, so read it from the thread that did the work or
// after joining the threads that did.
uint64_t AllocationCount();

}  // namespace varnix::bench
