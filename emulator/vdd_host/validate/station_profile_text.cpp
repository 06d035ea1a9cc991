#include "emulator/vdd_host/validate/station_profile_text.h"

#include "contract/base_frame.h"

#include <cstdio>

namespace varnix::vddhost {

namespace {

struct SensorKindTraits {
    SensorKind kind;
    const char* label;     // names are "<label> <group letter><n>"
    int baseSamples;       // samples per stream in one base frame: sets the rate
    const char* channels;  // the profile's "channels" list
};

// Rates of 2000, 4000, 370.37, 148.15 and 74.07 Hz.
const SensorKindTraits kKinds[] = {
    {SensorKind::kEmgWithAccelerometer, "EMG", 27,
     R"([{"name": "EMG", "unit": "VOLTS", "components": ["EMG"], "signal": "emg"},
          {"name": "ACC", "unit": "g", "components": ["ACC X", "ACC Y", "ACC Z"],
           "signal": "acc"}])"},
    {SensorKind::kEmgOnly, "EMG only", 54,
     R"([{"name": "EMG", "unit": "MILLIVOLTS", "components": ["EMG"], "signal": "emg"}])"},
    {SensorKind::kInertial, "IMU", 5,
     R"([{"name": "ACC", "unit": "g", "components": ["ACC X", "ACC Y", "ACC Z"],
           "signal": "acc"},
          {"name": "GYRO", "unit": "deg/s", "components": ["GYRO X", "GYRO Y", "GYRO Z"],
           "signal": "gyro"}])"},
    {SensorKind::kCounter, "Counter", 2,
     R"([{"name": "Count", "unit": "VOLTS", "components": ["Count"], "signal": "ramp"}])"},
    {SensorKind::kGyroscope, "Gyro", 1,
     R"([{"name": "GYRO", "unit": "deg/s", "components": ["GYRO X", "GYRO Y", "GYRO Z"],
           "signal": "gyro"}])"},
};

const SensorKindTraits& TraitsOf(SensorKind kind) {
    for (const SensorKindTraits& traits : kKinds) {
        if (traits.kind == kind) return traits;
    }
    return kKinds[0];
}

std::string GroupPrefix(const SensorGroup& group, size_t index) {
    return std::string(TraitsOf(group.kind).label) + " " + static_cast<char>('A' + index % 26);
}

}  // namespace

std::string StationProfileText(const StationDraw& station) {
    std::string sensors;
    for (size_t g = 0; g < station.groups.size(); ++g) {
        const SensorGroup& group = station.groups[g];
        const SensorKindTraits& traits = TraitsOf(group.kind);
        char rate[32];
        std::snprintf(rate, sizeof rate, "%.9f", traits.baseSamples / kBaseFramePeriodS);
        sensors += std::string(g == 0 ? "" : ",\n    ") + R"({"name": ")" + GroupPrefix(group, g) +
                   R"({n}", "count": )" + std::to_string(group.count) + R"(, "rate": )" + rate +
                   R"(, "channels": )" + traits.channels + "}";
    }
    return R"({"name": "validate", "seed": )" + std::to_string(station.signalSeed) +
           R"(, "frameMultiple": )" + std::to_string(station.frameMultiple) +
           R"(, "queueCapacity": )" + std::to_string(station.queueCapacity) +
           ",\n  \"sensors\": [\n    " + sensors + "]}\n";
}

std::vector<std::string> SensorNames(const StationDraw& station) {
    std::vector<std::string> names;
    for (size_t g = 0; g < station.groups.size(); ++g) {
        const std::string prefix = GroupPrefix(station.groups[g], g);
        for (int n = 1; n <= station.groups[g].count; ++n)
            names.push_back(prefix + std::to_string(n));
    }
    return names;
}

}  // namespace varnix::vddhost
