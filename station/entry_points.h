// The nine entry points the getters hand out: C calling convention, records
// by pointer. Each forwards to the station and lets no exception out.
#pragma once

#include "contract/station_abi.h"

namespace varnix::station {

// [host][acquisition] Every one may be called from any thread.
const char* EntryInitialize(VarnixMetadataBuf* pb, int32_t frameThroughput,
                            int32_t channelOrganizationSelection);
const char* EntryScan(VarnixMetadataBuf* pb);
void EntryStart();
void EntryStop();
void EntryClose();
bool EntryConfigure(bool globalTriggerEnable, bool startInput, bool stopInput, bool outputTriggers);
bool EntryPollData(VarnixFrameBuf* frame);
bool EntryChangeSensorMode(VarnixMetadataBuf* pb, const char* id, const char* sensorMode);
const char* EntryInformationRequest(const char* id, int32_t sensorInformationReq);

}  // namespace varnix::station
