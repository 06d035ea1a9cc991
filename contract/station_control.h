/* The simulated station's own control and observation API: extra C exports of
 * libVarnixAPI2.so beside the station ABI. Tests and vdd-host reach them with
 * dlsym on the same library the plug-in loaded (same path, same handle).
 * A plug-in never calls them.
 *
 * The station runs in one of two modes:
 *  - simulation (the default): answers and real-time frames come from a
 *    station profile (JSON; VARNIX_STATION_PROFILE names the file, else the
 *    embedded default of 8 EMG sensors), or from a recording that a replay
 *    profile names (or VARNIX_STATION_PROFILE names directly: an EDF(+) or
 *    BDF(+) file), played back in real time;
 *  - script: set by any VarnixSim_Script* call; answers, rates, the frame
 *    multiple and the poll results are exactly what the test scripted.
 *
 * Every function is safe to call from any thread. Texts passed in are copied.
 * Times are nanoseconds on CLOCK_MONOTONIC.
 *
 * What the simulation answers (script mode answers only what was scripted):
 *  - item ids "s<sensor>.c<channel>+<component>", numbered from 1, the sensor
 *    number zero-padded to two digits ("s03.c2+1"); the group id "s03.c2" is
 *    unique per (sensor, channel). Items come sensor by sensor, channel by
 *    channel, component by component;
 *  - request 3 on an item: the sensor's name; request 0 on a group id: the
 *    channel's name; request 0 on an item: the component's name; request 2 on
 *    an item: the channel's unit text. Unknown (id, code) pairs answer "";
 *  - the rate array repeats each sensor's rate at every item of the sensor;
 *  - frame layout: one slice per sensor in item order, back to back, each
 *    S x streams values long, S being the samples each stream takes in a
 *    frame of frameMultiple x 13.5 ms at its rate: a whole number, since the
 *    station offers only rates that give one (within 0.01 Hz). Inside a
 *    slice the values are stream-major: stream j (the j-th item of the
 *    sensor) holds its S consecutive samples at [j*S, j*S+S);
 *  - frame k after varnix_start is due at t0 + (k+1) x frameMultiple x
 *    13.5 ms, t0 being the start (or the start pulse when the start input
 *    is enabled), and becomes ready (pollable) then. A profile's timing
 *    options change both: clockDriftPpm makes the station's clock run fast
 *    or slow against CLOCK_MONOTONIC, deliveryJitterMs makes a frame ready
 *    up to that long after its due time, burstEvery holds every Nth frame
 *    back until the next is ready; the order is kept. A poll hands out the
 *    oldest ready frame; the queue holds the profile's queueCapacity frames
 *    (due, ready or not) and drops the oldest beyond that;
 *  - varnix_stop and varnix_close empty the queue; after varnix_close the
 *    station produces nothing until the next varnix_initialize. */
#ifndef VARNIX_STATION_CONTROL_H
#define VARNIX_STATION_CONTROL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- whole station -------------------------------------------------------- */

/* Back to the state at load: simulation mode with the profile named by the
 * environment (or the default), stopped, scripts and faults cleared, call log
 * and counters zero. */
void VarnixSim_Reset(void);

/* Loads a profile (file or JSON text) and switches to simulation mode.
 * Returns 0 on success; otherwise -1, and `error` (if not null) receives one
 * line naming the file, the field path and what was expected. A refused
 * profile leaves the station answering like one that is not connected. */
int VarnixSim_LoadProfileFile(const char* path, char* error, size_t errorSize);
int VarnixSim_LoadProfileText(const char* json, char* error, size_t errorSize);

/* The error of the last profile load ("" when it succeeded). Copied into buf. */
size_t VarnixSim_LastProfileError(char* buf, size_t bufSize);

/* ---- script mode ---------------------------------------------------------- */

/* Text varnix_initialize answers; null makes it answer null. */
void VarnixSim_ScriptItemList(const char* itemList);
/* frameMultiple written by varnix_initialize. */
void VarnixSim_ScriptFrameMultiple(int32_t frameMultiple);
/* The rate array varnix_initialize hands out (copied; stays valid until the
 * next script or reset). */
void VarnixSim_ScriptRates(const double* rates, size_t count);
/* Answer of varnix_infoRequest(id, code). answer null: the station answers
 * null. Unscripted pairs answer the empty text "". */
void VarnixSim_ScriptAnswer(const char* id, int32_t code, const char* answer);
/* Appends one poll result: the next poll returns true and hands out a copy of
 * these values (kept valid until the poll after it). */
void VarnixSim_ScriptFrame(const float* values, size_t count);
/* Appends `count` poll results of false. With no scripted result left, a poll
 * answers false. */
void VarnixSim_ScriptPollFalse(size_t count);
/* Result varnix_configure returns (default 1). */
void VarnixSim_ScriptConfigureResult(int result);

/* ---- call log ------------------------------------------------------------- */

typedef struct VarnixSimCall {
    char     function[24];   /* "initialize", "scan", "start", "stop", "close",
                                "configure", "pollData", "changeSensorMode",
                                "infoRequest" */
    char     arguments[232]; /* arguments as text: "2,1" for initialize,
                                "A+1,2" for infoRequest, "1,0,0,0" for
                                configure, "" for the void ones and pollData */
    uint64_t thread;         /* pthread_self() of the caller */
    uint64_t sequence;       /* 0, 1, 2 ... in call order */
} VarnixSimCall;

/* Poll calls are logged only while this is on (default off: they come every
 * 10 ms). Other calls are always logged. The log keeps the last 65536. */
void   VarnixSim_LogPolls(int on);
size_t VarnixSim_CallCount(void);
/* Returns 1 and fills `out` while `index` < VarnixSim_CallCount(), else 0. */
int    VarnixSim_GetCall(size_t index, VarnixSimCall* out);
void   VarnixSim_ClearCalls(void);

/* ---- observation ---------------------------------------------------------- */

typedef struct VarnixSimCounters {
    uint64_t objectsCreated;   /* VarnixNative_New */
    uint64_t objectsDeleted;   /* VarnixNative_Delete */
    uint64_t polls;            /* varnix_pollData calls */
    uint64_t framesProduced;   /* frames made ready by the clock */
    uint64_t framesDelivered;  /* polls that returned true */
    uint64_t framesDropped;    /* oldest frames dropped on queue overflow */
    uint64_t deepestQueue;     /* most frames waiting at once */
    uint64_t sessionsStarted;  /* varnix_start calls */
} VarnixSimCounters;
void VarnixSim_GetCounters(VarnixSimCounters* out);

/* A delivered frame: the n-th true poll since reset (deliveryIndex n, from 0).
 * The station keeps the last 4096 delivered frames with their values. */
typedef struct VarnixSimFrameInfo {
    uint64_t deliveryIndex;
    uint64_t frameSequence;    /* produced-frame number since the last start */
    int64_t  readyTimeNs;      /* when it became pollable (CLOCK_MONOTONIC) */
    int64_t  deliveredTimeNs;  /* when a poll handed it out */
    uint32_t valueCount;       /* 4-byte values in the frame */
} VarnixSimFrameInfo;
/* Returns 1 and fills `info` (and up to `capacity` values, if `values` is not
 * null) while the frame is still kept; 0 otherwise. Values are kept within a
 * budget of 16 Mi floats over all kept frames: with very large frames the
 * oldest of the 4096 lose their values first, and asking for the values of
 * such a frame answers 0 (its info alone still answers 1). */
int VarnixSim_GetDeliveredFrame(uint64_t deliveryIndex, VarnixSimFrameInfo* info,
                                float* values, size_t capacity);

/* When a delivered frame was due on the station's clock, when it became
 * pollable (readyTimeNs above) and when a poll handed it out. For a scripted
 * frame all three are the poll's moment. */
typedef struct VarnixSimFrameTiming {
    int64_t dueTimeNs;
    int64_t pollableTimeNs;
    int64_t deliveredTimeNs;
} VarnixSimFrameTiming;
/* Returns 1 and fills `timing` while the frame is still kept; 0 otherwise. */
int VarnixSim_GetFrameTiming(uint64_t deliveryIndex, VarnixSimFrameTiming* timing);

/* The station's own frame layout (not the plug-in's reading of it): sensors
 * in slice order, streams per sensor and samples per stream per frame. In
 * script mode it is worked out from the scripted answers the same way, and a
 * scripted rate with no whole number of samples per frame answers 0. */
size_t  VarnixSim_SensorCount(void);
int32_t VarnixSim_SamplesPerFrame(size_t sensor);
int32_t VarnixSim_StreamCount(size_t sensor);
int32_t VarnixSim_FrameMultiple(void);

/* ---- triggers ------------------------------------------------------------- */

/* A pulse on the station's start or stop input. With the start input enabled
 * by varnix_configure, frames flow only after a start pulse; with the stop
 * input enabled, they stop at a stop pulse. */
void VarnixSim_StartPulse(void);
void VarnixSim_StopPulse(void);

/* Every pulse the start and stop inputs received, whatever it did (a start
 * pulse while the start input is off changes nothing, but is logged): from
 * VarnixSim_StartPulse/StopPulse, from a profile's schedule, or from a
 * replayed recording's annotations. The station keeps the last 256. */
typedef struct VarnixSimPulse {
    uint64_t sequence; /* 0, 1, 2 ... since reset */
    int64_t timeNs;    /* when the input received it (CLOCK_MONOTONIC) */
    int32_t input;     /* VARNIX_SIM_START_INPUT or VARNIX_SIM_STOP_INPUT */
    int32_t source;    /* VARNIX_SIM_PULSE_FROM_* */
} VarnixSimPulse;
#define VARNIX_SIM_START_INPUT 1
#define VARNIX_SIM_STOP_INPUT 2
#define VARNIX_SIM_PULSE_FROM_CONTROL 1   /* VarnixSim_StartPulse / VarnixSim_StopPulse */
#define VARNIX_SIM_PULSE_FROM_PROFILE 2   /* startPulseAfterMs / stopPulseAfterMs */
#define VARNIX_SIM_PULSE_FROM_RECORDING 3 /* a replay's "start pulse" / "stop pulse" */
/* Pulses logged since reset (not only those kept). */
uint64_t VarnixSim_PulseCount(void);
/* Returns 1 and fills `out` while pulse `sequence` is still kept, else 0. */
int VarnixSim_GetPulse(uint64_t sequence, VarnixSimPulse* out);

/* ---- faults --------------------------------------------------------------- */

/* Polls answer false for the next `milliseconds` (frames keep being produced
 * and queue up, dropping the oldest on overflow). */
void VarnixSim_FailPollsFor(int64_t milliseconds);
/* From now on varnix_infoRequest answers null (or "" when `empty` is 1) for
 * this request code; id null means every id. */
void VarnixSim_FaultAnswer(const char* id, int32_t code, int empty);
/* varnix_initialize answers null (or "" when `empty` is 1). */
void VarnixSim_FaultItemList(int empty);
/* Every station call sleeps this long before it answers. */
void VarnixSim_SlowAnswers(int64_t milliseconds);
/* The station disconnects `milliseconds` after now: no more frames, polls
 * answer false, answers are null, until VarnixSim_Reconnect or reset. */
void VarnixSim_DisconnectAfter(int64_t milliseconds);
void VarnixSim_Reconnect(void);
void VarnixSim_ClearFaults(void);

/* ---- profiles ------------------------------------------------------------- */

/* The embedded default profile's JSON text (static, never freed). */
const char* VarnixSim_DefaultProfileText(void);

#ifdef __cplusplus
}
#endif

#endif
