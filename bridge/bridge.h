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

#include "contract/station_records.h"

#define VARNIX_EXPORT __attribute__((visibility("default")))

// Texts returned belong to the station and stay valid only until the next
// bridge call: copy them at once.
VARNIX_EXPORT const char* varnix_initialize(VarnixMetadataBuf& pb, int frameThroughput,
                                            int channelOrganizationSelection);
VARNIX_EXPORT const char* varnix_scan(VarnixMetadataBuf& pb);
VARNIX_EXPORT void varnix_start();
VARNIX_EXPORT void varnix_stop();
VARNIX_EXPORT void varnix_close();
VARNIX_EXPORT bool varnix_configure(bool globalTriggerEnable, bool startInput, bool stopInput,
                                    bool outputTriggers);
VARNIX_EXPORT bool varnix_pollData(VarnixFrameBuf& frame);
VARNIX_EXPORT bool varnix_changeSensorMode(VarnixMetadataBuf& pb, const char* id,
                                           const char* sensorMode);
VARNIX_EXPORT const char* varnix_infoRequest(const char* id, int sensorInformationReq);
