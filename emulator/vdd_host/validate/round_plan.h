// What one validate round does, drawn before it runs from the seed, the round
// number and the strictness: the station the simulated base station plays,
// and for each load-use-Shutdown-unload cycle the host's lifecycle, its
// refusals and failing operations, its sessions and what happens while they
// stream, and the moment of Shutdown. Everything the host decides is here;
// only the plug-in's and the machine's timing is not. The weights of every
// draw are tables in round_plan.cpp, described in docs/vdd-host.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnix::vddhost {

// The kinds of sensor a drawn station has; their channels, signals and rates
// are a table in station_profile_text.cpp. Every kind's values change from
// frame to frame, so that the push checker can tell every frame from the
// next (a constant signal could not show a frame pushed twice or out of turn).
enum class SensorKind { kEmgWithAccelerometer, kEmgOnly, kInertial, kCounter, kGyroscope };

struct SensorGroup {
    SensorKind kind = SensorKind::kEmgWithAccelerometer;
    int count = 1;
};

struct StationDraw {
    int frameMultiple = 1;  // 1..3
    int queueCapacity = 64;
    uint32_t signalSeed = 1;
    std::vector<SensorGroup> groups;  // in slice order

    int SensorCount() const;
};

enum class SessionEventKind {
    kHoldOneDevice,    // every push of one device waits `ms` in the host
    kSlowEveryDevice,  // every push of every device waits `ms`
    kReleaseHolds,     // pushes return at once again
    kFailPushes,       // PushSamples answers an error from now on (one device or all)
    kRedeclare,        // DeclareSession again for one device, with a new session id
    kSoftwareStart,    // SoftwareStartTrigger on every device
    kRefreshEntries,   // RefreshEntries reporting a change; a redeclaration when asked for
    kProvideAgain,     // ProvideDeviceDefinitions while the session streams
    kStartPulse,       // the station's start input
    kStopPulse,        // the station's stop input
    kStatus,           // GetStatus of every device
};

struct SessionEvent {
    int atMs = 0;  // after SessionOpened
    SessionEventKind kind = SessionEventKind::kStatus;
    int device = -1;  // accepted device, modulo their count; -1 every device
    int ms = 0;       // holds: how long each push waits
};

struct SessionDraw {
    int32_t sessionId = 1;
    int openAfterMs = 0;               // SessionOpened this long after the declarations
    int durationMs = 0;                // from SessionOpened to SessionClosed
    std::vector<SessionEvent> events;  // in time order
};

enum class ShutdownMoment {
    kBeforeDefinitions,  // right after Initialise
    kBeforeSessions,     // devices registered and attached, nothing declared
    kAfterSessions,      // every session closed
    kInSession,          // in the last session, while it streams
    kInPass,             // in the last session, while one device's push is held in the host
    kWhilePushHeld,  // in the last session, while the host holds the pushes of one device or all
};

struct CycleDraw {
    StationDraw station;
    int32_t hostVersion = 2;  // offered in HostAPIVersion
    bool parameterBySetValue = false;
    bool requestUpdateAnswer = true;
    int definitionRequests = 1;  // ProvideDeviceDefinitions calls before instantiation
    std::vector<std::string> failingOperations;  // each fails on every call, for every device
    std::vector<int> refusedDefinitions;  // sensors (from 0) whose DefineDevice fails; the host
                                          // then refuses their registration too
    std::vector<int> refusedDevices;      // sensors whose RegisterDevice fails
    bool startTrigger = false;
    bool stopTrigger = false;
    bool triggerOutputs = false;
    std::vector<SessionDraw> sessions;
    ShutdownMoment shutdown = ShutdownMoment::kAfterSessions;
    int shutdownAtMs = 0;  // kInSession, kInPass, kWhilePushHeld: after the last SessionOpened
    int heldMs = 0;        // kInPass, kWhilePushHeld: how long a push waits
    int heldDevice = -1;   // kInPass, kWhilePushHeld: accepted device, modulo; -1 every device
    bool shutdownTwice = false;
};

struct RoundPlan {
    uint64_t seed = 0;
    int round = 1;
    int strictness = 1;
    std::vector<CycleDraw> cycles;
    int hostileSteps = 0;  // draws that make the host misbehave

    // What the round takes if nothing waits longer than drawn, in milliseconds.
    int64_t NominalMs() const;
};

constexpr int kMinStrictness = 1;
constexpr int kMaxStrictness = 10;

// [any thread] The round `round` (from 1) of `seed` at `strictness`: the same
// arguments give the same plan on any machine. Strictness scales the number
// of cycles and sessions, their length and the share of hostile draws.
// Allocates.
RoundPlan DrawRound(uint64_t seed, int round, int strictness);

// One line: "2 cycles (37 sensors x3, 1 sensor x1), 4 sessions, 9 hostile steps".
std::string DescribePlan(const RoundPlan& plan);

std::string ShutdownMomentName(ShutdownMoment moment);
std::string SessionEventName(SessionEventKind kind);

}  // namespace varnix::vddhost
