#include "emulator/vdd_host/validate/round_plan.h"

#include "emulator/host_operations.h"
#include "emulator/vdd_host/validate/round_random.h"

#include <algorithm>
#include <utility>

namespace varnix::vddhost {

namespace {

// ---- the round model: every weight and range a round is drawn with ----------

// Share of hostile draws, per mille: 70 at strictness 1, 490 at 7, 700 at 10.
uint32_t HostilePerMille(int strictness) {
    return 70u * static_cast<uint32_t>(strictness);
}
// Cycles in a round and sessions in a cycle: 1 to 1 + strictness / 3.
int MostRepeats(int strictness) {
    return 1 + strictness / 3;
}
// Session length in milliseconds: 100 to 100 + 40 x strictness.
constexpr int kShortestSessionMs = 100;
int LongestSessionMs(int strictness) {
    return kShortestSessionMs + 40 * strictness;
}
// Events while a session streams: 0 to strictness / 2.
int MostEvents(int strictness) {
    return strictness / 2;
}

using SensorRange = std::pair<int, int>;
const WeightedChoice<SensorRange> kSensorCounts[] = {
    {2, {1, 1}}, {4, {2, 8}}, {3, {9, 32}}, {1, {33, 128}}};
const WeightedChoice<SensorKind> kSensorKinds[] = {{4, SensorKind::kEmgWithAccelerometer},
                                                   {2, SensorKind::kEmgOnly},
                                                   {2, SensorKind::kInertial},
                                                   {1, SensorKind::kCounter},
                                                   {1, SensorKind::kGyroscope}};
const WeightedChoice<int> kQueueCapacities[] = {{3, 64}, {1, 16}, {1, 256}};

// Hostile: a handshake with another version than the host's usual 2.
const WeightedChoice<int32_t> kOddHostVersions[] = {{3, 1}, {1, 0}, {1, 3}, {1, 7}};
// Hostile: operations that fail on every call. AddOutput and AddComponent are
// left out: a host that commits a definition without some of its outputs
// holds the plug-in to nothing it could keep. "*" is every operation.
const WeightedChoice<const char*> kFailingOperations[] = {{3, emulator::op::kGetParameterValue},
                                                          {2, emulator::op::kFillEntries},
                                                          {2, emulator::op::kSetPeriod},
                                                          {2, emulator::op::kSetValueCount},
                                                          {2, emulator::op::kDeclareSignal},
                                                          {1, emulator::op::kAddBoolParameter},
                                                          {1, emulator::op::kAddSignal},
                                                          {1, emulator::op::kPushSamples},
                                                          {1, "*"}};

const WeightedChoice<SessionEventKind> kHostileEvents[] = {
    {3, SessionEventKind::kHoldOneDevice},  {2, SessionEventKind::kSlowEveryDevice},
    {2, SessionEventKind::kFailPushes},     {3, SessionEventKind::kRedeclare},
    {2, SessionEventKind::kRefreshEntries}, {2, SessionEventKind::kProvideAgain},
    {1, SessionEventKind::kStopPulse}};
const WeightedChoice<SessionEventKind> kOrdinaryEvents[] = {{3, SessionEventKind::kStatus},
                                                            {2, SessionEventKind::kSoftwareStart},
                                                            {2, SessionEventKind::kReleaseHolds},
                                                            {1, SessionEventKind::kStartPulse}};

const WeightedChoice<ShutdownMoment> kHostileShutdowns[] = {
    {3, ShutdownMoment::kInSession},
    {3, ShutdownMoment::kInPass},
    {2, ShutdownMoment::kWhilePushHeld},
    {1, ShutdownMoment::kBeforeSessions},
    {1, ShutdownMoment::kBeforeDefinitions}};

// Fixed per-cycle costs in the nominal time: load, definitions, the watch
// after Shutdown, unload.
constexpr int64_t kCycleOverheadMs = 300;

// ---- drawing -----------------------------------------------------------------

class Drawer {
public:
    Drawer(uint64_t seed, int round, int strictness)
        : random_(seed, static_cast<uint64_t>(round)),
          strictness_(strictness),
          hostile_(HostilePerMille(strictness)) {}

    RoundPlan Draw(uint64_t seed, int round) {
        RoundPlan plan;
        plan.seed = seed;
        plan.round = round;
        plan.strictness = strictness_;
        const int cycles = static_cast<int>(random_.Between(1, MostRepeats(strictness_)));
        for (int c = 0; c < cycles; ++c) plan.cycles.push_back(DrawCycle());
        plan.hostileSteps = hostileSteps_;
        return plan;
    }

private:
    // A hostile draw happens with the strictness's share; each one is counted.
    bool Hostile(uint32_t divisor = 1) {
        const bool hostile = random_.Chance(hostile_ / divisor);
        hostileSteps_ += hostile ? 1 : 0;
        return hostile;
    }

    StationDraw DrawStation() {
        StationDraw station;
        station.frameMultiple = static_cast<int>(random_.Between(1, 3));
        station.queueCapacity = random_.Pick(kQueueCapacities);
        station.signalSeed = static_cast<uint32_t>(random_.Below(1u << 31));
        const SensorRange range = random_.Pick(kSensorCounts);
        int remaining = static_cast<int>(random_.Between(range.first, range.second));
        const int groups = std::min(remaining, static_cast<int>(random_.Between(1, 3)));
        for (int g = 0; g < groups; ++g) {
            const int left = groups - 1 - g;
            const int count =
                left == 0 ? remaining : static_cast<int>(random_.Between(1, remaining - left));
            station.groups.push_back(SensorGroup{random_.Pick(kSensorKinds), count});
            remaining -= count;
        }
        return station;
    }

    SessionEvent DrawEvent(int durationMs) {
        SessionEvent event;
        event.atMs = static_cast<int>(random_.Below(static_cast<uint64_t>(durationMs)));
        event.kind = Hostile() ? random_.Pick(kHostileEvents) : random_.Pick(kOrdinaryEvents);
        event.device = static_cast<int>(random_.Below(1000));
        switch (event.kind) {
            case SessionEventKind::kHoldOneDevice:
                event.ms = static_cast<int>(random_.Between(5, 20 + 8 * strictness_));
                break;
            case SessionEventKind::kSlowEveryDevice:
                event.ms = static_cast<int>(random_.Between(1, 3 + strictness_));
                event.device = -1;
                break;
            case SessionEventKind::kFailPushes:
                if (random_.Chance(300)) event.device = -1;
                break;
            case SessionEventKind::kRedeclare:
            case SessionEventKind::kRefreshEntries:
                break;
            default:
                event.device = -1;
                break;
        }
        return event;
    }

    SessionDraw DrawSession(int32_t sessionId, bool startTrigger) {
        SessionDraw session;
        session.sessionId = sessionId;
        session.openAfterMs = Hostile(2) ? static_cast<int>(random_.Between(1, 80)) : 0;
        session.durationMs =
            static_cast<int>(random_.Between(kShortestSessionMs, LongestSessionMs(strictness_)));
        const int events = static_cast<int>(random_.Between(0, MostEvents(strictness_)));
        for (int e = 0; e < events; ++e) session.events.push_back(DrawEvent(session.durationMs));
        // With the start input on, nothing flows before a start pulse: most
        // sessions give one.
        if (startTrigger && random_.Chance(800)) {
            const int at =
                static_cast<int>(random_.Below(static_cast<uint64_t>(session.durationMs / 2)));
            session.events.push_back(SessionEvent{at, SessionEventKind::kStartPulse, -1, 0});
        }
        std::stable_sort(
            session.events.begin(), session.events.end(),
            [](const SessionEvent& a, const SessionEvent& b) { return a.atMs < b.atMs; });
        return session;
    }

    void DrawRefusals(CycleDraw& cycle) {
        const int sensors = cycle.station.SensorCount();
        if (Hostile(3)) {
            for (int k = 0; k < sensors; ++k) {
                if (random_.Chance(170)) cycle.refusedDefinitions.push_back(k);
            }
        }
        if (Hostile()) {
            const bool everyDevice = random_.Chance(125);
            for (int k = 0; k < sensors; ++k) {
                if (everyDevice || random_.Chance(250)) cycle.refusedDevices.push_back(k);
            }
        }
    }

    void DrawShutdown(CycleDraw& cycle) {
        cycle.shutdown =
            Hostile() ? random_.Pick(kHostileShutdowns) : ShutdownMoment::kAfterSessions;
        if (cycle.shutdown == ShutdownMoment::kBeforeDefinitions ||
            cycle.shutdown == ShutdownMoment::kBeforeSessions) {
            cycle.sessions.clear();
        }
        const bool inSession = cycle.shutdown == ShutdownMoment::kInSession ||
                               cycle.shutdown == ShutdownMoment::kInPass ||
                               cycle.shutdown == ShutdownMoment::kWhilePushHeld;
        if (inSession) {
            cycle.shutdownAtMs = static_cast<int>(
                random_.Below(static_cast<uint64_t>(cycle.sessions.back().durationMs)));
            cycle.heldMs = static_cast<int>(random_.Between(10, 40 + 10 * strictness_));
            cycle.heldDevice = static_cast<int>(random_.Below(1000));
            if (cycle.shutdown == ShutdownMoment::kWhilePushHeld && random_.Chance(500)) {
                cycle.heldDevice = -1;
            }
        }
        cycle.shutdownTwice = Hostile(5);
    }

    CycleDraw DrawCycle() {
        CycleDraw cycle;
        cycle.station = DrawStation();
        if (Hostile(3)) cycle.hostVersion = random_.Pick(kOddHostVersions);
        cycle.parameterBySetValue = random_.Chance(500);
        cycle.requestUpdateAnswer = !Hostile(4);
        cycle.definitionRequests = Hostile(2) ? 2 : 1;
        if (Hostile(2)) {
            const int operations = static_cast<int>(random_.Between(1, 2));
            for (int o = 0; o < operations; ++o)
                cycle.failingOperations.push_back(random_.Pick(kFailingOperations));
        }
        DrawRefusals(cycle);
        cycle.startTrigger = random_.Chance(200);
        cycle.stopTrigger = random_.Chance(150);
        cycle.triggerOutputs = random_.Chance(500);
        const int sessions = static_cast<int>(random_.Between(1, MostRepeats(strictness_)));
        int32_t sessionId = static_cast<int32_t>(random_.Between(1, 1000));
        for (int s = 0; s < sessions; ++s) {
            cycle.sessions.push_back(DrawSession(sessionId, cycle.startTrigger));
            sessionId += static_cast<int32_t>(random_.Between(1, 3));
        }
        DrawShutdown(cycle);
        return cycle;
    }

    RoundRandom random_;
    const int strictness_;
    const uint32_t hostile_;
    int hostileSteps_ = 0;
};

std::string Plural(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

int StationDraw::SensorCount() const {
    int count = 0;
    for (const SensorGroup& group : groups) count += group.count;
    return count;
}

int64_t RoundPlan::NominalMs() const {
    int64_t total = 0;
    for (const CycleDraw& cycle : cycles) {
        total += kCycleOverheadMs + cycle.heldMs;
        for (const SessionDraw& session : cycle.sessions) {
            int longestHold = 0;
            for (const SessionEvent& event : session.events)
                longestHold = std::max(longestHold, event.ms);
            total += session.openAfterMs + session.durationMs + longestHold;
        }
    }
    return total;
}

RoundPlan DrawRound(uint64_t seed, int round, int strictness) {
    strictness = std::clamp(strictness, kMinStrictness, kMaxStrictness);
    return Drawer(seed, round, strictness).Draw(seed, round);
}

std::string DescribePlan(const RoundPlan& plan) {
    std::string stations;
    int sessions = 0;
    for (const CycleDraw& cycle : plan.cycles) {
        stations += (stations.empty() ? "" : ", ") +
                    Plural(cycle.station.SensorCount(), "sensor", "sensors") + " x" +
                    std::to_string(cycle.station.frameMultiple);
        sessions += static_cast<int>(cycle.sessions.size());
    }
    return Plural(static_cast<int>(plan.cycles.size()), "cycle", "cycles") + " (" + stations +
           "), " + Plural(sessions, "session", "sessions") + ", " +
           Plural(plan.hostileSteps, "hostile step", "hostile steps");
}

std::string ShutdownMomentName(ShutdownMoment moment) {
    switch (moment) {
        case ShutdownMoment::kBeforeDefinitions:
            return "before any definitions";
        case ShutdownMoment::kBeforeSessions:
            return "before any session";
        case ShutdownMoment::kAfterSessions:
            return "after the last session";
        case ShutdownMoment::kInSession:
            return "while a session streams";
        case ShutdownMoment::kInPass:
            return "in the middle of a pass";
        case ShutdownMoment::kWhilePushHeld:
            return "while the host holds pushes";
    }
    return "?";
}

std::string SessionEventName(SessionEventKind kind) {
    switch (kind) {
        case SessionEventKind::kHoldOneDevice:
            return "hold one device's pushes";
        case SessionEventKind::kSlowEveryDevice:
            return "slow every push";
        case SessionEventKind::kReleaseHolds:
            return "release the holds";
        case SessionEventKind::kFailPushes:
            return "fail pushes";
        case SessionEventKind::kRedeclare:
            return "redeclare a session";
        case SessionEventKind::kSoftwareStart:
            return "software start trigger";
        case SessionEventKind::kRefreshEntries:
            return "refresh entries";
        case SessionEventKind::kProvideAgain:
            return "ask for definitions again";
        case SessionEventKind::kStartPulse:
            return "start pulse";
        case SessionEventKind::kStopPulse:
            return "stop pulse";
        case SessionEventKind::kStatus:
            return "read every status";
    }
    return "?";
}

}  // namespace varnix::vddhost
