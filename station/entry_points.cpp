#include "entry_points.h"

#include "station.h"

namespace varnix::station {

// Only allocation can fail in here; a station that cannot allocate answers
// like one that does not answer.

const char* EntryInitialize(VarnixMetadataBuf* pb, int32_t frameThroughput,
                            int32_t channelOrganizationSelection) {
    try {
        return Station::Get().Initialize(pb, frameThroughput, channelOrganizationSelection);
    } catch (...) {
        return nullptr;
    }
}

const char* EntryScan(VarnixMetadataBuf* pb) {
    try {
        return Station::Get().Scan(pb);
    } catch (...) {
        return nullptr;
    }
}

void EntryStart() {
    try {
        Station::Get().Start();
    } catch (...) {}
}

void EntryStop() {
    try {
        Station::Get().Stop();
    } catch (...) {}
}

void EntryClose() {
    try {
        Station::Get().Close();
    } catch (...) {}
}

bool EntryConfigure(bool globalTriggerEnable, bool startInput, bool stopInput,
                    bool outputTriggers) {
    try {
        return Station::Get().Configure(globalTriggerEnable, startInput, stopInput, outputTriggers);
    } catch (...) {
        return false;
    }
}

bool EntryPollData(VarnixFrameBuf* frame) {
    try {
        return Station::Get().PollData(frame);
    } catch (...) {
        return false;
    }
}

bool EntryChangeSensorMode(VarnixMetadataBuf* pb, const char* id, const char* sensorMode) {
    try {
        return Station::Get().ChangeSensorMode(pb, id, sensorMode);
    } catch (...) {
        return false;
    }
}

const char* EntryInformationRequest(const char* id, int32_t sensorInformationReq) {
    try {
        return Station::Get().InfoRequest(id, sensorInformationReq);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace varnix::station
