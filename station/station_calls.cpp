// The nine station calls as the simulation answers them: the tables for the
// catalogue build, the session (start, stop, close, configure) and the polls.
#include "station.h"

namespace varnix::station {

const char* Station::Initialize(VarnixMetadataBuf* pb, int32_t frameThroughput,
                                int32_t organization) {
    calls_.Record("initialize",
                  std::to_string(frameThroughput) + "," + std::to_string(organization));
    faults_.SleepIfSlow();
    return Control([&](StationParts& parts, int64_t now) -> const char* {
        parts.clock.Advance(now);
        if (!parts.Answering()) return nullptr;
        parts.clock.Open();
        parts.answers.FillMetadata(pb);
        if (const auto faulted = faults_.ItemList()) return *faulted;
        return parts.answers.ItemList();
    });
}

const char* Station::Scan(VarnixMetadataBuf* pb) {
    calls_.Record("scan", "");
    faults_.SleepIfSlow();
    return Control([&](StationParts& parts, int64_t now) -> const char* {
        parts.clock.Advance(now);
        if (!parts.Answering()) return nullptr;
        parts.answers.FillMetadata(pb);
        return parts.answers.ItemList();
    });
}

void Station::Start() {
    calls_.Record("start", "");
    faults_.SleepIfSlow();
    Control([](StationParts& parts, int64_t now) {
        parts.clock.Advance(now);
        ++parts.counters.sessionsStarted;
        if (!parts.scriptMode) parts.clock.Start(now);
    });
}

void Station::Stop() {
    calls_.Record("stop", "");
    faults_.SleepIfSlow();
    Control([](StationParts& parts, int64_t) { parts.clock.Halt(); });
}

void Station::Close() {
    calls_.Record("close", "");
    faults_.SleepIfSlow();
    Control([](StationParts& parts, int64_t) { parts.clock.Close(); });
}

bool Station::Configure(bool globalTriggerEnable, bool startInput, bool stopInput,
                        bool outputTriggers) {
    calls_.Record("configure", std::string(globalTriggerEnable ? "1" : "0") + "," +
                                   (startInput ? "1" : "0") + "," + (stopInput ? "1" : "0") + "," +
                                   (outputTriggers ? "1" : "0"));
    faults_.SleepIfSlow();
    return Control([&](StationParts& parts, int64_t now) {
        parts.clock.Advance(now);
        if (!parts.Answering()) return false;
        parts.clock.ArmInputs(globalTriggerEnable && startInput, globalTriggerEnable && stopInput);
        return parts.script.ConfigureResult() != 0;
    });
}

bool Station::PollData(VarnixFrameBuf* frame) {
    if (calls_.PollsLogged()) calls_.Record("pollData", "");
    faults_.SleepIfSlow();
    return Control([&](StationParts& parts, int64_t now) {
        ++parts.counters.polls;
        parts.clock.Advance(now);
        if (!parts.Answering() || faults_.PollsFail(now)) return false;
        if (parts.scriptMode) {
            ScriptedPoll poll;
            if (!parts.script.Take(poll) || !poll.frame) return false;
            return parts.Deliver(frame, parts.counters.framesDelivered, now, now,
                                 std::move(poll.values));
        }
        // A frame that is due but not yet pollable (a jittered or held
        // delivery) comes later.
        QueuedFrame next;
        if (!parts.queue.Pop(now, next)) return false;
        return parts.Deliver(frame, next.sequence, next.dueNs, next.readyNs,
                             std::move(next.values));
    });
}

bool Station::ChangeSensorMode(VarnixMetadataBuf* pb, const char* id, const char* sensorMode) {
    calls_.Record("changeSensorMode",
                  std::string(id ? id : "(null)") + "," + (sensorMode ? sensorMode : "(null)"));
    faults_.SleepIfSlow();
    return Control([&](StationParts& parts, int64_t) {
        if (!parts.Answering()) return false;
        parts.answers.FillMetadata(pb);
        return true;
    });
}

const char* Station::InfoRequest(const char* id, int32_t code) {
    calls_.Record("infoRequest", std::string(id ? id : "(null)") + "," + std::to_string(code));
    faults_.SleepIfSlow();
    return Control([&](StationParts& parts, int64_t now) -> const char* {
        parts.clock.Advance(now);
        if (!parts.Answering() || id == nullptr) return nullptr;
        if (const auto faulted = faults_.Answer(id, code)) return *faulted;
        return parts.answers.Answer(id, code);
    });
}

}  // namespace varnix::station
