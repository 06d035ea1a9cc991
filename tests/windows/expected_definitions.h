// What the module must publish for the simulated station's default profile
// (profiles/default.json): eight sensors "EMG 1".."EMG 8" at 2000 Hz, each
// with an EMG channel in volts and a three-axis accelerometer in g. The
// host's unit codes for the station's unit texts are those of the unit table
// (VOLTS 20, g 25).
#pragma once

#include <stdint.h>

namespace expected {

constexpr int kSensorCount = 8;
constexpr const char kSensorNamePrefix[] = "EMG ";  // then 1..8
constexpr double kSampleRateHz = 2000.0;
constexpr int32_t kSamplesPerFrame = 27;  // 2000 Hz x 13.5 ms, frame multiple 1
constexpr int32_t kStreamsPerSensor = 4;
constexpr int32_t kFrameMultiple = 1;

// Literals of DefineDevice, the same for every sensor.
constexpr const char kManufacturer[] = "Varnix, Inc";
constexpr const char kVersion[] = "1.0";
constexpr const char kDeviceType[] = "EMG";
constexpr const char kAddCommandCaption[] = "Add Varnix System";
constexpr const char kDescription[] = "Varnix Selkan System";

struct Output {
    const char* name;
    const char* stationUnit;  // what the station answers
    int32_t hostUnitCode;     // what the host must receive
    const char* components[3];
    int componentCount;
};
constexpr Output kOutputs[] = {
    {"EMG", "VOLTS", 20, {"EMG"}, 1},
    {"ACC", "g", 25, {"ACC X", "ACC Y", "ACC Z"}, 3},
};
constexpr int kOutputCount = 2;

// Published on the first device only, in this order.
struct Parameter {
    const char* key;
    const char* displayName;
    const char* help;
};
constexpr Parameter kParameters[] = {
    {"StartTrigger", "Start Input", "Selkan will wait for a start signal"},
    {"StopTrigger", "Stop Trigger", "Selkan will wait for a stop signal"},
    {"TriggerOutputs", "Trigger Outputs", ""},
};
constexpr int kParameterCount = 3;
constexpr const char kParameterGroup[] = "Triggering";
constexpr const char kSignal[] = "Start";

// What the host sees of each default value object the plug-in lends with
// AddBoolParameter (see DefinitionBuilder::ObserveDefault).
constexpr const char kDefaultValueSeen[] =
    "TypeCode 1, Value false, Flag1 false, Flag2 false, Flag3 false, "
    "CopyTo true with 8 bytes 1,0,0,0,0,0,0,0, Equals(false) true, Equals(flag2 set) false";

// Log lines of device instantiation.
constexpr const char kRefusedLogPrefix[] = "Failed to instantiate device. Error: ";
constexpr const char kAcceptedLogPrefix[] = "Instantiated varnix device: ";

}  // namespace expected
