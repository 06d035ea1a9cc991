// The two records that cross the station library's entry points, as the
// plug-in's bridge and every station library see them. Their layout binds
// both sides, so it is pinned here.
#pragma once

#include <cstddef>
#include <cstdint>

// Filled by varnix_initialize. The plug-in owns one, in static storage.
struct alignas(8) VarnixMetadataBuf {
    int32_t  frameMultiple;   // one polled frame carries frameMultiple x 13.5 ms
    uint8_t  reserved[12];    // zero on entry to varnix_initialize, never read
    double*  sampleRates;     // entry i: rate of item i; belongs to the station
};
static_assert(sizeof(VarnixMetadataBuf) == 24, "VarnixMetadataBuf is 24 bytes");
static_assert(alignof(VarnixMetadataBuf) == 8, "VarnixMetadataBuf is 8-byte aligned");
static_assert(offsetof(VarnixMetadataBuf, frameMultiple) == 0, "frameMultiple at 0");
static_assert(offsetof(VarnixMetadataBuf, reserved) == 4, "reserved at 4");
static_assert(offsetof(VarnixMetadataBuf, sampleRates) == 16, "sampleRates at 16");

// Filled by varnix_pollData. `samples` belongs to the station and stays valid
// and unchanged only until the next poll.
struct alignas(8) VarnixFrameBuf {
    uint8_t  reserved[8];     // zero before the first poll, never read
    float*   samples;         // 4-byte values, passed on unconverted
};
static_assert(sizeof(VarnixFrameBuf) == 16, "VarnixFrameBuf is 16 bytes");
static_assert(alignof(VarnixFrameBuf) == 8, "VarnixFrameBuf is 8-byte aligned");
static_assert(offsetof(VarnixFrameBuf, reserved) == 0, "reserved at 0");
static_assert(offsetof(VarnixFrameBuf, samples) == 8, "samples at 8");
