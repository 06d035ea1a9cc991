// The plug-in's only road to the station: nine functions and the two records
// that cross them. Each function loads the station library once (beside the
// module first, then the loader's own search), and on every call creates a
// fresh station object, fetches the entry point, calls it and deletes the
// object again. Nothing but the loaded library is kept between calls.
//
// A station library that can't be found or lacks a symbol is a station that
// does not answer: one level-3 line through the host's Log, and every call
// returns a null text, false, or nothing.
//
// Threads: [host] initialize, infoRequest, stop, close; [acquisition] stop,
// configure, start, pollData. No lock is held across a call into the station.
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

#define VARNIX_EXPORT __attribute__((visibility("default")))

// Texts returned belong to the station and stay valid only until the next
// bridge call: copy them at once.
VARNIX_EXPORT const char* varnix_initialize(VarnixMetadataBuf& pb, int frameThroughput,
                                            int channelOrganizationSelection);
VARNIX_EXPORT const char* varnix_scan(VarnixMetadataBuf& pb);
VARNIX_EXPORT void        varnix_start();
VARNIX_EXPORT void        varnix_stop();
VARNIX_EXPORT void        varnix_close();
VARNIX_EXPORT bool        varnix_configure(bool globalTriggerEnable, bool startInput,
                                           bool stopInput, bool outputTriggers);
VARNIX_EXPORT bool        varnix_pollData(VarnixFrameBuf& frame);
VARNIX_EXPORT bool        varnix_changeSensorMode(VarnixMetadataBuf& pb, const char* id,
                                                  const char* sensorMode);
VARNIX_EXPORT const char* varnix_infoRequest(const char* id, int sensorInformationReq);
